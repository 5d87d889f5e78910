#include "platform/file_stamp.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace quill {

FileStamp platform_file_stamp(const char* path) {
  WIN32_FILE_ATTRIBUTE_DATA info{};
  if (GetFileAttributesExA(path, GetFileExInfoStandard, &info) == 0) return {};
  const uint64_t ticks = static_cast<uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32 |
                         info.ftLastWriteTime.dwLowDateTime;  // 100 ns since 1601
  return {true, static_cast<uint64_t>(info.nFileSizeHigh) << 32 | info.nFileSizeLow, static_cast<int64_t>(ticks * 100)};
}

CreateOutcome platform_create_new_file(const char* path, std::FILE*& out) {
  const HANDLE handle =
      CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? CreateOutcome::exists : CreateOutcome::failed;
  }
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
  if (fd < 0) {
    CloseHandle(handle);
    (void)DeleteFileA(path);
    return CreateOutcome::failed;
  }
  std::FILE* file = _fdopen(fd, "wb");
  if (file == nullptr) {
    _close(fd);  // closes the handle too
    (void)DeleteFileA(path);
    return CreateOutcome::failed;
  }
  out = file;
  return CreateOutcome::created;
}

}  // namespace quill
