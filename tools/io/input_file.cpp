#include "tools/io/input_file.h"

namespace quill {

namespace {

constexpr size_t kChunkBytes = size_t{1} << 16;

const char* outcome_text(FileOpenOutcome outcome) {
  switch (outcome) {
    case FileOpenOutcome::not_found:
      return "no such file";
    case FileOpenOutcome::directory:
      return "is a directory";
    case FileOpenOutcome::not_regular:
      return "is not a regular file";
    case FileOpenOutcome::denied:
      return "permission denied";
    default:
      return "cannot be opened";
  }
}

bool changed(const InputFile& in, std::string& error) {
  error = in.path + ": changed while it was being read";
  return false;
}

}  // namespace

InputFile::~InputFile() {
  if (opened.file != nullptr) std::fclose(opened.file);
}

bool input_open(const std::string& path, InputFile& in, std::string& error) {
  if (in.opened.file != nullptr) std::fclose(in.opened.file);
  in.opened = {};
  in.path = path;
  in.read_bytes = 0;
  const FileOpenOutcome outcome = platform_open_for_reading(path.c_str(), FileKinds::regular_or_stream, in.opened);
  if (outcome == FileOpenOutcome::opened) return true;
  error = path + ": " + outcome_text(outcome);
  return false;
}

bool input_read(InputFile& in, uint8_t* buffer, size_t capacity, size_t& got, std::string& error) {
  got = std::fread(buffer, 1, capacity, in.opened.file);
  if (std::ferror(in.opened.file) != 0) {
    error = in.path + ": cannot be read";
    return false;
  }
  in.read_bytes += got;
  if (!in.opened.regular) return true;
  if (in.read_bytes > in.opened.size_bytes) return changed(in, error);
  uint64_t now = 0;
  if (got == 0 &&
      (!platform_file_size(in.opened.file, now) || now != in.read_bytes || in.read_bytes != in.opened.size_bytes)) {
    return changed(in, error);
  }
  return true;
}

bool read_input_file(const std::string& path, uint64_t limit, std::string& out, std::string& error) {
  InputFile in;
  if (!input_open(path, in, error)) return false;
  std::string text;
  uint8_t chunk[kChunkBytes];
  size_t got = 0;
  do {
    if (!input_read(in, chunk, sizeof chunk, got, error)) return false;
    if (in.read_bytes > limit) {
      error = path + ": larger than " + std::to_string(limit) + " bytes";
      return false;
    }
    text.append(reinterpret_cast<const char*>(chunk), got);
  } while (got > 0);
  out = std::move(text);
  return true;
}

}  // namespace quill
