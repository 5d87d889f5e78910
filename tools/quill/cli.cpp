#include "tools/quill/cli.h"

#include <cstddef>
#include <cstdio>

#include "tools/io/input_file.h"

namespace quill::cli {

namespace {

const OptionDef* find_option(const std::vector<OptionDef>& defs, const std::string& name) {
  for (const OptionDef& def : defs) {
    if ((def.short_name != nullptr && name == def.short_name) || name == def.long_name) return &def;
  }
  return nullptr;
}

}  // namespace

bool parse_args(const std::vector<std::string>& args, const std::vector<OptionDef>& defs, ParsedArgs& out,
                std::string& error) {
  ParsedArgs parsed;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--") {
      parsed.positional.insert(parsed.positional.end(), args.begin() + static_cast<ptrdiff_t>(i) + 1, args.end());
      break;
    }
    if (arg.size() < 2 || arg[0] != '-') {
      parsed.positional.push_back(arg);
      continue;
    }
    std::string name = arg, value;
    bool inline_value = false;
    if (arg.rfind("--", 0) == 0 && arg.find('=') != std::string::npos) {
      name = arg.substr(0, arg.find('='));
      value = arg.substr(arg.find('=') + 1);
      inline_value = true;
    } else if (arg[1] != '-' && arg.size() > 2) {
      name = arg.substr(0, 2);  // -oFILE
      value = arg.substr(2);
      inline_value = true;
    }
    const OptionDef* def = find_option(defs, name);
    if (def == nullptr) {
      error = "unknown option '" + name + "'";
      return false;
    }
    if (!def->takes_value && inline_value) {
      error = "option '" + std::string(def->long_name) + "' takes no value";
      return false;
    }
    if (def->takes_value && !inline_value) {
      if (i + 1 >= args.size()) {
        error = "option '" + name + "' needs a value";
        return false;
      }
      value = args[++i];
    }
    parsed.options.push_back({def->long_name, value});
  }
  out = std::move(parsed);
  return true;
}

bool parse_command(const char* command, const char* help, const std::vector<std::string>& args,
                   const std::vector<OptionDef>& defs, ParsedArgs& out, int& exit_code) {
  std::string error;
  if (!parse_args(args, defs, out, error)) {
    exit_code = usage_error(command, error);
    return false;
  }
  for (const ParsedOption& o : out.options) {
    if (o.name == "--help") {
      std::fputs(help, stdout);
      exit_code = kExitOk;
      return false;
    }
  }
  return true;
}

int usage_error(const char* command, const std::string& message) {
  std::fprintf(stderr, "quill %s: %s\nTry 'quill %s --help'.\n", command, message.c_str(), command);
  return kExitUsage;
}

int failure(const char* command, const std::string& message) {
  std::fprintf(stderr, "quill %s: %s\n", command, message.c_str());
  return kExitFailure;
}

bool parse_count(const std::string& text, uint64_t limit, uint64_t& out) {
  uint64_t v = 0;
  bool digit_seen = false;
  for (const char c : text) {
    if (c == '_' && digit_seen) continue;
    if (c < '0' || c > '9') return false;
    const auto d = static_cast<uint64_t>(c - '0');
    if (v > (limit - d) / 10) return false;
    v = v * 10 + d;
    digit_seen = true;
  }
  if (!digit_seen) return false;
  out = v;
  return true;
}

bool parse_integer(const std::string& text, int64_t& out) {
  const bool negative = !text.empty() && text[0] == '-';
  uint64_t magnitude = 0;
  if (!parse_count(negative ? text.substr(1) : text, INT64_MAX, magnitude)) return false;
  out = negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
  return true;
}

bool read_text_file(const std::string& path, std::string& out, std::string& error) {
  return read_input_file(path, kTextInputLimitBytes, out, error);
}

}  // namespace quill::cli
