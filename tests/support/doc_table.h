// Reads the tables of the user documentation (docs/*.md), so tests check the code
// against what the documentation promises rather than against a copy of the code.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "support/source_file.h"

namespace quill::test {

// The body rows of every table in docs/`doc` under the heading `## section` (up to
// the next such heading; the whole file when `section` is empty), each row as its
// cells with the surrounding spaces removed. Header and separator rows are skipped.
inline std::vector<std::vector<std::string>> doc_table_rows(const std::string& doc, const std::string& section) {
  std::stringstream in(read_source_file("docs/" + doc));
  std::vector<std::vector<std::string>> rows;
  bool inside = section.empty();
  bool header_next = true;
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("## ", 0) == 0) inside = section.empty() || line == "## " + section;
    if (!inside || line.empty() || line[0] != '|') {
      header_next = true;
      continue;
    }
    if (header_next || line.rfind("|---", 0) == 0) {
      header_next = false;
      continue;
    }
    std::vector<std::string> cells;
    std::stringstream row(line.substr(1));
    for (std::string cell; std::getline(row, cell, '|');) {
      const size_t first = cell.find_first_not_of(' ');
      cells.push_back(first == std::string::npos ? "" : cell.substr(first, cell.find_last_not_of(' ') - first + 1));
    }
    rows.push_back(cells);
  }
  return rows;
}

}  // namespace quill::test
