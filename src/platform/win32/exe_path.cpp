#include <windows.h>

#include "platform/exe_path.h"

namespace quill {

// GetModuleFileNameA returns the buffer's size when it had to cut the path short.
bool exe_folder(char (&folder)[kExeFolderCapacity]) {
  char path[kExeFolderCapacity];
  const DWORD n = GetModuleFileNameA(nullptr, path, static_cast<DWORD>(kExeFolderCapacity));
  return exe_folder_from_path(path, n, '\\', folder);
}

}  // namespace quill
