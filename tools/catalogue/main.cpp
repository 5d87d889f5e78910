// quill_catalogue SOURCE_FOLDER: writes the assembler includes and the call tables
// and the key table of docs/host-calls.md from the catalogues, and the editor
// grammar's keywords from the assembler's words. Exit code 0 when everything was written.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "tools/catalogue/catalogue.h"

namespace {

bool write(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  if (!out) std::fprintf(stderr, "quill_catalogue: cannot write %s\n", path.c_str());
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  using namespace quill::catalogue;
  if (argc != 2) {
    std::fputs("Usage: quill_catalogue SOURCE_FOLDER\n", stderr);
    return 2;
  }
  const std::string root = std::string(argv[1]) + "/";
  std::ifstream in(root + kHostCallsDoc, std::ios::binary);
  const std::string doc((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::string with_calls, updated;
  if (!with_call_tables(doc, with_calls) || !with_key_table(with_calls, updated)) {
    std::fprintf(stderr, "quill_catalogue: %s lacks a place for each group's table or the key table\n", kHostCallsDoc);
    return 1;
  }
  std::ifstream grammar_in(root + kGrammar, std::ios::binary);
  const std::string grammar((std::istreambuf_iterator<char>(grammar_in)), std::istreambuf_iterator<char>());
  std::string grammar_updated;
  if (!with_grammar_words(grammar, grammar_updated)) {
    std::fprintf(stderr, "quill_catalogue: %s is not JSON with an entry for each kind of word\n", kGrammar);
    return 1;
  }
  const bool ok = write(root + kHostInclude, host_include()) && write(root + kKeysInclude, keys_include()) &&
                  write(root + kColorsInclude, colors_include()) && write(root + kHostCallsDoc, updated) &&
                  write(root + kGrammar, grammar_updated);
  return ok ? 0 : 1;
}
