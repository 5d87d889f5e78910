#include "platform/exe_path.h"

#include <windows.h>

namespace quill {

// GetModuleFileNameA returns 0 on failure and the buffer's size when it had to cut
// the path short; the folder rule refuses the latter.
bool executable_folder(char (&out)[kExeFolderCapacity]) {
  char path[kExeFolderCapacity];
  const DWORD length = GetModuleFileNameA(nullptr, path, static_cast<DWORD>(kExeFolderCapacity));
  if (length == 0) return false;
  return folder_of_executable(path, length, '\\', out);
}

}  // namespace quill
