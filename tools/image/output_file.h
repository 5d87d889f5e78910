// Every file the tools write (images, listings, symbols, disassembly, pictures,
// traces) goes through here. A regular file, or a name not taken yet, is replaced
// whole: written beside it as NAME.part and renamed over it only when complete (a
// symbolic link keeps pointing at its updated target). Anything else (a device
// such as /dev/null, a pipe, standard output as "-") is written straight into,
// never replaced. Every failure, the last flush included, is reported.
#pragma once

#include <cstdio>
#include <string>

#include "platform/file_replace.h"

namespace quill {

struct OutputFile {
  std::FILE* file = nullptr;  // where to write while open
  bool replacing = false;     // through `replacement`, or straight into the path
  std::string path;
  FileReplacement replacement;
};

// Opens `path` ("-": standard output) for writing. False with `error` set.
[[nodiscard]] bool output_open(OutputFile& out, const std::string& path, std::string& error);

// Finishes the output: flushes and closes it, and puts a replacement in place.
// False with `error` set when any of that, or an earlier write, failed; a replaced
// file then keeps its old contents.
[[nodiscard]] bool output_close(OutputFile& out, std::string& error);

// Gives up an open output: a replaced file keeps its old contents.
void output_abandon(OutputFile& out);

// Writes `bytes` to `path` ("-": standard output) as above. False with `error` set.
[[nodiscard]] bool write_output_file(const std::string& path, const std::string& bytes, std::string& error);

}  // namespace quill
