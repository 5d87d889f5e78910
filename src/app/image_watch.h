// Live reload: when to load the image again after it changed on disk. Pure; the
// window polls the files' stamps and asks here.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/file_stamp.h"

namespace quill {

// The folder's trit and text files, or the IMAGE and nothing.
inline constexpr size_t kWatchedFiles = 2;
inline constexpr uint32_t kWatchPollMs = 200;

struct ImageWatch {
  FileStamp loaded[kWatchedFiles];  // as they were just before the running machine was loaded
  FileStamp seen[kWatchedFiles];    // at the last poll
};

// The files as they are just before a load.
void watch_loaded(ImageWatch& watch, const FileStamp (&now)[kWatchedFiles]);

// One poll: true when the files differ from what was loaded and have not changed
// since the previous poll, so a file still being written is never taken. A true
// counts as loaded, whether the load then works or not, so a bad file is tried
// once per change.
[[nodiscard]] bool watch_poll(ImageWatch& watch, const FileStamp (&now)[kWatchedFiles]);

}  // namespace quill
