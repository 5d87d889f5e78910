// A fresh folder under the system's temporary directory, removed with its files.
#pragma once

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace quill::test {

struct TempFolder {
  std::string path;  // ends in '/'

  // A new folder of a random name under the system's temporary folder (TMPDIR on
  // Linux), made only if nobody else holds that name.
  TempFolder() {
    std::error_code error;
    const std::filesystem::path base = std::filesystem::temp_directory_path(error);
    if (error) return;
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
      const std::filesystem::path candidate = base / ("quill-test-" + std::to_string(random()));
      if (std::filesystem::create_directory(candidate, error) && !error) {
        path = candidate.string() + "/";
        return;
      }
    }
  }
  ~TempFolder() {
    std::error_code ignored;
    if (!path.empty()) std::filesystem::remove_all(path, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  std::string file(const std::string& name) const { return path + name; }

  void write(const std::string& name, const std::string& content) const {
    std::ofstream out(file(name), std::ios::binary);
    out << content;
  }

  bool exists(const std::string& name) const { return std::filesystem::exists(file(name)); }

  std::string read(const std::string& name) const {
    std::ifstream in(file(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  // Names of the files in the folder, sorted, separated by spaces.
  std::string listing() const {
    std::string names;
    std::vector<std::string> all;
    for (const auto& entry : std::filesystem::directory_iterator(path)) all.push_back(entry.path().filename().string());
    std::sort(all.begin(), all.end());
    for (const auto& n : all) names += (names.empty() ? "" : " ") + n;
    return names;
  }
};

}  // namespace quill::test
