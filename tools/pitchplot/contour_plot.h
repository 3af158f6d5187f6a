// The pure parts of pitchplot: drawing a contour as SVG.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The note name of a semitone number with sharps and the octave: 60 -> "C4", 61 -> "C#4",
// 69 -> "A4", 47 -> "B2"; semitone 0 is "C-1".
std::string noteName(int32_t semitone);

// A standalone SVG document (UTF-8) of `contour` (tenths of a semitone per 32 ms frame, 0 = no
// pitch) titled `title`.
//
// Time in seconds runs along the bottom, value i drawn at i * 0.032 s; pitch runs up the side
// on a semitone grid labelled with note names (every note when the range is two octaves or
// less, else every C), sharps shaded like the black keys of a keyboard. Each stretch of pitched
// frames is one <path class="voiced"> whose data holds one "x,y" point per frame, so unpitched
// frames are gaps; a stretch of a single frame is drawn as a dot. An empty contour, or one
// without any pitched value, draws the empty axes with the note "no pitch". Bytes of the title
// that are not valid UTF-8 or are control characters become '?'.
std::string renderContourSvg(std::span<const int32_t> contour, std::string_view title);

// A stretch of time to point out, shaded and labelled at the top of the plot.
struct PlotMark {
  double start = 0;  // seconds
  double end = 0;
  std::string label;
};

// A note that was sung, drawn as a grey bar behind the contour.
struct PlotNote {
  double start = 0;  // seconds
  double end = 0;
  int32_t semitone = 0;
};

// What the picture may add to the contour; the defaults add nothing.
struct PlotExtras {
  int64_t firstFrame = 0;  // frame of the recording that the contour's first value belongs to
  double seconds = 0;      // the time axis reaches at least this far
  std::vector<PlotMark> marks;
  std::vector<PlotNote> notes;
};

// The same picture with the contour placed at extras.firstFrame, the axis at least
// extras.seconds long and the pitch range widened to the notes.
std::string renderContourSvg(std::span<const int32_t> contour, std::string_view title,
                             const PlotExtras& extras);
