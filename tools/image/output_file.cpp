#include "tools/image/output_file.h"

#include <cerrno>
#include <cstring>

namespace quill {

namespace {

// "cannot write 'PATH': REASON", the reason from errno when there is one.
bool fail(std::string& error, const std::string& path, int code) {
  error = "cannot write '" + path + "'" + (code != 0 ? std::string(": ") + std::strerror(code) : std::string());
  return false;
}

}  // namespace

bool output_open(OutputFile& out, const std::string& path, std::string& error) {
  out.path = path;
  out.replacing = false;
  errno = 0;
  if (path == "-") {
    out.file = stdout;
  } else if (platform_file_kind(path.c_str()) != FileKind::other) {
    out.replacing = replacement_open(out.replacement, path.c_str(), TemporaryName::append_part);
    if (!out.replacing) {
      const int code = errno;
      if (out.replacement.temporary[0] == '\0') return fail(error, path, code);
      error = "cannot create '" + std::string(out.replacement.temporary) + "' to write '" + path + "'" +
              (code != 0 ? std::string(": ") + std::strerror(code) : std::string());
      return false;
    }
    out.file = out.replacement.file;
  } else {
    out.file = std::fopen(path.c_str(), "wb");
  }
  return out.file != nullptr || fail(error, path, errno);
}

bool output_close(OutputFile& out, std::string& error) {
  std::FILE* file = out.file;
  out.file = nullptr;
  if (file == nullptr) return fail(error, out.path, 0);
  if (out.replacing) {
    if (std::ferror(file) != 0) {
      const int code = errno;  // from the write that failed
      replacement_abandon(out.replacement);
      return fail(error, out.path, code);
    }
    errno = 0;
    return replacement_commit(out.replacement) || fail(error, out.path, errno);
  }
  // A device reports a full disk or a broken pipe only when the buffer goes out.
  errno = std::ferror(file) != 0 ? errno : 0;  // keep only the reason of a write that failed
  const bool flushed = std::fflush(file) == 0 && std::ferror(file) == 0;
  const int code = errno;
  const bool closed = file == stdout || std::fclose(file) == 0;
  return (flushed && closed) || fail(error, out.path, flushed ? errno : code);
}

void output_abandon(OutputFile& out) {
  if (out.replacing)
    replacement_abandon(out.replacement);
  else if (out.file != nullptr && out.file != stdout)
    std::fclose(out.file);
  out.file = nullptr;
}

bool write_output_file(const std::string& path, const std::string& bytes, std::string& error) {
  OutputFile out;
  if (!output_open(out, path, error)) return false;
  (void)std::fwrite(bytes.data(), 1, bytes.size(), out.file);
  return output_close(out, error);
}

}  // namespace quill
