#include <io.h>
#include <windows.h>

#include "platform/file_sync.h"

namespace quill {

bool platform_sync_file(std::FILE* file) {
  if (std::fflush(file) != 0) return false;
  const intptr_t handle = _get_osfhandle(_fileno(file));
  if (handle == -1) return false;
  return FlushFileBuffers(reinterpret_cast<HANDLE>(handle)) != 0;
}

// MOVEFILE_WRITE_THROUGH returns only once the rename is on the disk, the
// counterpart of syncing the folder after a rename elsewhere.
bool platform_replace_file(const char* from, const char* to) {
  return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

}  // namespace quill
