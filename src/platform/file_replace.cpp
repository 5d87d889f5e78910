#include "platform/file_replace.h"

#include <cerrno>
#include <cstring>

namespace quill {

namespace {

bool temporary_path_for(char* out, size_t capacity, const char* path, TemporaryName naming) {
  const size_t length = std::strlen(path);
  const bool swap = naming == TemporaryName::txt_to_new && length >= 4 && std::strcmp(path + length - 4, ".txt") == 0;
  const size_t base = swap ? length - 4 : length;
  const char* ending = naming == TemporaryName::append_part ? ".part" : ".new";
  const size_t ending_length = std::strlen(ending);
  if (base + ending_length >= capacity) return false;
  std::memcpy(out, path, base);
  std::memcpy(out + base, ending, ending_length + 1);
  return true;
}

}  // namespace

bool replacement_paths(FileReplacement& r, const char* path, TemporaryName naming) {
  return platform_resolve_link(path, r.target, sizeof r.target) &&
         temporary_path_for(r.temporary, sizeof r.temporary, r.target, naming);
}

bool replacement_open(FileReplacement& r, const char* path, TemporaryName naming) {
  if (!replacement_paths(r, path, naming)) return false;
  (void)std::remove(r.temporary);
  r.file = platform_create_new_file(r.temporary, r.target);
  return r.file != nullptr;
}

bool replacement_commit(FileReplacement& r) { return replacement_finish(r) && replacement_install(r); }

bool replacement_finish(FileReplacement& r) {
  const bool synced = platform_sync_file(r.file);
  const bool closed = std::fclose(r.file) == 0;
  r.file = nullptr;
  if (synced && closed) return true;
  const int error = errno;  // the caller may report why
  (void)std::remove(r.temporary);
  errno = error;
  return false;
}

bool replacement_install(FileReplacement& r) {
  if (platform_replace_file(r.temporary, r.target)) return true;
  const int error = errno;
  (void)std::remove(r.temporary);
  errno = error;
  return false;
}

void replacement_abandon(FileReplacement& r) {
  if (r.file != nullptr) std::fclose(r.file);
  r.file = nullptr;
  (void)std::remove(r.temporary);
}

void replacement_remove_stale(const char* path, TemporaryName naming) {
  FileReplacement r;
  if (replacement_paths(r, path, naming)) (void)std::remove(r.temporary);
}

}  // namespace quill
