#include "app/image_watch.h"

#include <algorithm>
#include <iterator>

namespace quill {

void watch_loaded(ImageWatch& watch, const FileStamp (&now)[kWatchedFiles]) {
  std::copy(std::begin(now), std::end(now), watch.loaded);
  std::copy(std::begin(now), std::end(now), watch.seen);
}

bool watch_poll(ImageWatch& watch, const FileStamp (&now)[kWatchedFiles]) {
  const bool settled = std::equal(std::begin(now), std::end(now), watch.seen);
  std::copy(std::begin(now), std::end(now), watch.seen);
  if (!settled || std::equal(std::begin(now), std::end(now), watch.loaded)) return false;
  std::copy(std::begin(now), std::end(now), watch.loaded);
  return true;
}

}  // namespace quill
