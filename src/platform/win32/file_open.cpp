#include "platform/file_open.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace quill {

namespace {

FileOpenOutcome outcome_of_error(DWORD error) {
  if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return FileOpenOutcome::not_found;
  if (error == ERROR_ACCESS_DENIED) return FileOpenOutcome::denied;
  return FileOpenOutcome::failed;
}

FileOpenOutcome refuse(HANDLE handle, FileOpenOutcome outcome) {
  CloseHandle(handle);
  return outcome;
}

}  // namespace

// FILE_FLAG_BACKUP_SEMANTICS lets a folder open too, so that it is reported as a
// folder rather than as "access denied". Sharing matches what fopen allows.
FileOpenOutcome platform_open_for_reading(const char* path, FileKinds kinds, OpenedFile& out) {
  const HANDLE handle = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return outcome_of_error(GetLastError());
  const DWORD type = GetFileType(handle);
  bool regular = type == FILE_TYPE_DISK;
  BY_HANDLE_FILE_INFORMATION info{};
  if (regular) {
    if (GetFileInformationByHandle(handle, &info) == 0) return refuse(handle, FileOpenOutcome::failed);
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return refuse(handle, FileOpenOutcome::directory);
  }
  if (!regular && (kinds == FileKinds::regular_only || type == FILE_TYPE_UNKNOWN)) {
    return refuse(handle, FileOpenOutcome::not_regular);
  }
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY | _O_BINARY);
  if (fd < 0) return refuse(handle, FileOpenOutcome::failed);
  std::FILE* file = _fdopen(fd, "rb");
  if (file == nullptr) {
    _close(fd);  // closes the handle too
    return FileOpenOutcome::failed;
  }
  const uint64_t size = static_cast<uint64_t>(info.nFileSizeHigh) << 32 | info.nFileSizeLow;
  out = {file, regular, regular ? size : 0};
  return FileOpenOutcome::opened;
}

bool platform_file_size(std::FILE* file, uint64_t& out) {
  const intptr_t handle = _get_osfhandle(_fileno(file));
  LARGE_INTEGER size{};
  if (handle == -1 || GetFileSizeEx(reinterpret_cast<HANDLE>(handle), &size) == 0) return false;
  out = static_cast<uint64_t>(size.QuadPart);
  return true;
}

}  // namespace quill
