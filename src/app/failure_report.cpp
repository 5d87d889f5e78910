#include "app/failure_report.h"

#include "cpu/machine.h"

namespace quill {

bool status_is_failure(uint32_t status) { return status >= status_memory_end && status <= status_invalid_destination; }

std::string path_beside(const std::string& image_path, const char* extension) {
  const size_t name_start = image_path.find_last_of("/\\") + 1;  // 0 when there is no separator
  const size_t dot = image_path.rfind('.');
  // A dot that starts the name (".tern") or lies in a folder is no extension.
  const bool has_extension = dot != std::string::npos && dot > name_start;
  return image_path.substr(0, has_extension ? dot : image_path.size()) + extension;
}

std::string name_address(const std::vector<AsmLabel>& labels, uint64_t address) {
  const AsmLabel* nearest = nullptr;
  for (const AsmLabel& label : labels) {
    if (label.address <= address && (nearest == nullptr || label.address > nearest->address)) nearest = &label;
  }
  if (nearest == nullptr) return "";
  if (nearest->address == address) return nearest->name;
  return nearest->name + "+" + std::to_string(address - nearest->address);
}

std::string failure_line(uint32_t status, uint64_t pc, uint64_t executed, const std::string& place) {
  std::string line = std::string("quillomar: stopped: ") + status_text(status) + " at pc " + std::to_string(pc);
  if (!place.empty()) line += " in " + place;
  return line + " (after " + std::to_string(executed) + (executed == 1 ? " instruction)" : " instructions)");
}

}  // namespace quill
