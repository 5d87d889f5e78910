#include "platform/file_sync.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cerrno>
#include <cstring>

namespace quill {

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

bool copy_path(char* out, size_t capacity, const char* path) {
  const size_t length = std::strlen(path);
  if (length >= capacity) return false;
  std::memcpy(out, path, length + 1);
  return true;
}

// The C library's error number for the failures a caller can act on.
int errno_of(DWORD error) {
  switch (error) {
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return EEXIST;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
      return EACCES;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return ENOSPC;
    default:
      return EIO;
  }
}

// Opens `path` (through links) only to ask about it.
HANDLE open_for_query(const char* path) {
  return CreateFileA(path, 0, kShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

}  // namespace

// Devices such as NUL and CON are not disk files; pipes neither.
FileKind platform_file_kind(const char* path) {
  const HANDLE handle = open_for_query(path);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? FileKind::missing : FileKind::other;
  }
  FileKind kind = FileKind::other;
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileType(handle) == FILE_TYPE_DISK && GetFileInformationByHandle(handle, &info) != 0 &&
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    kind = FileKind::regular;
  }
  CloseHandle(handle);
  return kind;
}

// A link is a reparse point; the system names the file it ends at, as
// "\\?\C:\..." or "\\?\UNC\server\...", which the ANSI calls take without the prefix.
bool platform_resolve_link(const char* path, char* out, size_t capacity) {
  const DWORD attributes = GetFileAttributesA(path);
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
    return copy_path(out, capacity, path);
  }
  const HANDLE handle = open_for_query(path);
  if (handle == INVALID_HANDLE_VALUE) return false;
  char final_path[kPlatformPathCapacity];
  const DWORD length = GetFinalPathNameByHandleA(handle, final_path, sizeof final_path, FILE_NAME_NORMALIZED);
  CloseHandle(handle);
  if (length == 0 || length >= sizeof final_path) return false;
  if (std::strncmp(final_path, "\\\\?\\UNC\\", 8) == 0) {
    final_path[6] = '\\';  // "\\?\UNC\server" becomes "\\server"
    return copy_path(out, capacity, final_path + 6);
  }
  return copy_path(out, capacity, std::strncmp(final_path, "\\\\?\\", 4) == 0 ? final_path + 4 : final_path);
}

// CREATE_NEW fails on any existing name, and FILE_FLAG_OPEN_REPARSE_POINT keeps it
// from acting through a link. A renamed file takes the folder's inherited
// permissions, as every new file there does, so `like` is not needed.
std::FILE* platform_create_new_file(const char* path, const char* /*like*/) {
  const HANDLE handle = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    errno = errno_of(GetLastError());
    return nullptr;
  }
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
  if (fd == -1) CloseHandle(handle);
  std::FILE* file = fd == -1 ? nullptr : _fdopen(fd, "wb");
  if (file == nullptr) {
    if (fd != -1) _close(fd);
    DeleteFileA(path);
    errno = EIO;
  }
  return file;
}

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
