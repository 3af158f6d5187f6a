// The recordings in a folder tree (-r): every file whose name ends in an extension of a format
// the build reads, in a sorted, deterministic order, without following symbolic links.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace pitchtrack::cli {

// Whether `name` ends in an extension of a format this build reads (case does not matter): .wav
// and .wave; with libsndfile also .flac, .ogg, .oga, .opus, .mp3, .aif, .aiff, .aifc, .caf,
// .au, .snd, .w64, .rf64 and .bw64. The reader still tells a file's format by its first bytes.
bool hasRecordingExtension(std::string_view name);

// Walks the tree below the folder `root` depth first, the entries of each folder in byte order of
// their names and each subfolder at its place among them; hands every regular file with a
// recording's extension to `recording`, as `root` followed by its path below it. Links are not
// followed, to files or folders, so the walk stays inside the tree and meets no file twice. A
// folder that cannot be read goes to `unreadable` with the reason, and the walk goes on.
void walkRecordings(
    const std::string& root, const std::function<void(const std::string& name)>& recording,
    const std::function<void(const std::string& folder, const std::string& reason)>& unreadable);

}  // namespace pitchtrack::cli
