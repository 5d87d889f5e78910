// Replacing a file safely, on every system: the new contents go into a temporary
// file beside the one they replace, made exclusively (never through a link), forced
// to disk and renamed over the old file only when complete. A file that is a
// symbolic link keeps being one: its target is replaced, from the target's folder.
#pragma once

#include <cstdint>
#include <cstdio>

#include "platform/file_sync.h"

namespace quill {

// How the temporary file is named after the file it replaces.
enum class TemporaryName : uint8_t {
  txt_to_new,   // "memory_trits.txt" -> "memory_trits.new" (no longer than the final name); others get ".new"
  append_part,  // "out.tern" -> "out.tern.part"
};

// One replacement in progress.
struct FileReplacement {
  std::FILE* file = nullptr;                   // the temporary file, open while in progress
  char target[kPlatformPathCapacity] = {};     // the file replaced at the end, links resolved
  char temporary[kPlatformPathCapacity] = {};  // beside the target
};

// Fills `r.target` and `r.temporary` for a replacement of `path`. False when a
// path does not fit or a chain of links does not end. Any thread.
[[nodiscard]] bool replacement_paths(FileReplacement& r, const char* path, TemporaryName naming);

// Starts replacing `path`: removes a temporary that an interrupted replacement left
// (that one name only, never what a link there points to) and creates it anew,
// exclusively. False with nothing created when either fails. Any thread.
[[nodiscard]] bool replacement_open(FileReplacement& r, const char* path, TemporaryName naming);

// Forces the temporary to disk, closes it and renames it over the target. False,
// with the temporary removed and the target as it was, when a step fails.
[[nodiscard]] bool replacement_commit(FileReplacement& r);

// The two halves of replacement_commit, for callers that sync several files before
// renaming any: replacement_finish forces the temporary to disk and closes it;
// replacement_install then renames it over the target (replacement_abandon instead
// removes it). Each removes the temporary when it fails.
[[nodiscard]] bool replacement_finish(FileReplacement& r);
[[nodiscard]] bool replacement_install(FileReplacement& r);

// Closes (when open) and removes the temporary; the target stays as it was.
void replacement_abandon(FileReplacement& r);

// Removes the temporary that an interrupted replacement of `path` left, if any.
void replacement_remove_stale(const char* path, TemporaryName naming);

}  // namespace quill
