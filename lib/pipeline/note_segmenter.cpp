#include "note_segmenter.h"

#include <algorithm>

#include "pitchtrack/limits.h"

namespace pitchtrack::pipeline {

namespace {

int32_t framesOf(double seconds) {
  const double frames = seconds * 1000 / kFrameMilliseconds;
  return std::max(1, static_cast<int32_t>(frames + 0.5));
}

}  // namespace

NoteSegmenter::NoteSegmenter(const NoteSettings& settings, NoteSink sink)
    : minFrames_(framesOf(settings.minNoteSeconds)),
      sink_(std::move(sink)),
      onset_(settings.onsetDb) {}

void NoteSegmenter::push(int64_t index, const PreciseFrame& frame) {
  if (frame.tenths == 0) {
    if (open_) close(std::move(current_), NoteBoundary::kGap);
    open_ = false;
    return;
  }
  extend(index, noteFrameOf(frame));
  splitAtBoundary();
  if (held_ && current_.size() >= minFrames_) emitHeld();
}

void NoteSegmenter::extend(int64_t index, const NoteFrame& frame) {
  if (!open_ || index != current_.end()) {
    if (open_) close(std::move(current_), NoteBoundary::kGap);
    current_ = NoteStretch{index, {}, NoteBoundary::kGap};
    onset_.reset();
    open_ = true;
  }
  current_.frames.push_back(frame);
}

void NoteSegmenter::splitAtBoundary() {
  if (const std::optional<int32_t> dip = onset_.push(current_.frames.back().levelDb)) {
    NoteStretch before = current_.splitOff(*dip, *dip + 1, NoteBoundary::kOnset);
    restartOnset();
    close(std::move(before), NoteBoundary::kOnset);
    return;
  }
  const std::optional<int32_t> change = findPitchChange(current_.frames);
  if (!change) return;
  // A short stretch before the change is a glide into the new note, unless it carries on the
  // note before it.
  const bool carriesOn = held_ && current_.start == NoteBoundary::kPitch;
  if (*change < minFrames_ && !carriesOn) return;
  NoteStretch before = current_.splitOff(*change, *change, NoteBoundary::kPitch);
  restartOnset();
  close(std::move(before), NoteBoundary::kPitch);
}

void NoteSegmenter::restartOnset() {
  onset_.reset();
  for (const NoteFrame& frame : current_.frames) onset_.push(frame.levelDb);
}

void NoteSegmenter::close(NoteStretch stretch, NoteBoundary end) {
  if (stretch.size() >= minFrames_) {
    emitHeld();
    held_ = std::move(stretch);
  } else if (held_ && stretch.start == NoteBoundary::kPitch) {
    held_->append(stretch);  // a fall or a passing wobble after the note
  }
  if (end == NoteBoundary::kGap) emitHeld();
}

void NoteSegmenter::emitHeld() {
  if (!held_) return;
  sink_(noteOf(*held_));
  held_.reset();
}

void NoteSegmenter::finish() {
  if (open_) close(std::move(current_), NoteBoundary::kGap);
  open_ = false;
  emitHeld();
}

std::vector<Note> segmentNotes(std::span<const PreciseFrame> frames, const NoteSettings& settings) {
  std::vector<Note> notes;
  NoteSegmenter segmenter(settings, [&notes](const Note& note) { notes.push_back(note); });
  for (size_t i = 0; i < frames.size(); ++i) segmenter.push(static_cast<int64_t>(i), frames[i]);
  segmenter.finish();
  return notes;
}

}  // namespace pitchtrack::pipeline
