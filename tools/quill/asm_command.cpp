// quill asm: assembles a source file into a memory image.
#include <cstdio>
#include <filesystem>

#include "tools/asm/assembler.h"
#include "tools/image/image_file.h"
#include "tools/image/output_file.h"
#include "tools/map/source_map.h"
#include "tools/quill/cli.h"
#include "tools/quill/commands.h"

namespace quill::cli {

namespace {

constexpr char kHelp[] = R"(Usage: quill asm [OPTIONS] SOURCE

Assembles SOURCE (.tasm) into a memory image that the emulator loads from its
folder: name it memory_tambrisk.txt (text format) or memory_trits.txt (trit
format). Addresses before the program hold the zero tryte, so the image loads
at address 0 and puts the program where its .org says (216679 by default, the
boot address).

Options:
  -o, --output FILE       the image to write (default: SOURCE with the ending .tern)
  -f, --format FORMAT     text (one symbol per tryte, 100 to a line) or trits
                          (three trit bytes per tryte); default trits for
                          memory_trits.txt and *.trits, text otherwise
      --origin ADDRESS    where code starts before any .org (default 216679)
  -I, --include DIR       look for .include files in DIR too
  -D, --define NAME=VALUE define the constant NAME
  -l, --listing FILE      write a listing: address, trytes and source line ("-": standard output)
  -s, --symbols FILE      write every label with its address, for quill dis
  -m, --map FILE          write the source map (JSON): every label, and the
                          file:line:column of every instruction and datum, for
                          quill run, quill dis and quill debug
  -h, --help              show this help

Errors are printed as FILE:LINE:COLUMN: error: MESSAGE and no image is written.
The language is described in docs/assembly.md.
)";

const std::vector<OptionDef> kOptions = {
    {"-o", "--output", true},  {"-f", "--format", true}, {nullptr, "--origin", true},
    {"-I", "--include", true}, {"-D", "--define", true}, {"-l", "--listing", true},
    {"-s", "--symbols", true}, {"-m", "--map", true},    {"-h", "--help", false},
};

struct AsmRequest {
  std::string source, output, listing, symbols, map;
  bool format_given = false;
  ImageFormat format = ImageFormat::text;
  AsmOptions options;
};

// Fills `request` from the parsed options; returns 0, or the usage exit code.
int read_request(const ParsedArgs& parsed, AsmRequest& request) {
  for (const ParsedOption& o : parsed.options) {
    if (o.name == "--output")
      request.output = o.value;
    else if (o.name == "--listing")
      request.listing = o.value;
    else if (o.name == "--symbols")
      request.symbols = o.value;
    else if (o.name == "--map")
      request.map = o.value;
    else if (o.name == "--include")
      request.options.include_dirs.push_back(o.value);
    else if (o.name == "--format") {
      if (!parse_image_format(o.value, request.format)) return usage_error("asm", "unknown format '" + o.value + "'");
      request.format_given = true;
    } else if (o.name == "--origin") {
      if (!parse_count(o.value, kMemoryTrytes - 1, request.options.origin)) {
        return usage_error("asm", "the origin must be an address from 0 to 63999999");
      }
    } else if (o.name == "--define") {
      const size_t eq = o.value.find('=');
      int64_t value = 0;
      if (eq == std::string::npos || eq == 0 || !parse_integer(o.value.substr(eq + 1), value)) {
        return usage_error("asm", "--define needs NAME=VALUE with a whole number, not '" + o.value + "'");
      }
      request.options.defines.emplace_back(o.value.substr(0, eq), value);
    }
  }
  if (parsed.positional.size() != 1) {
    return usage_error("asm", parsed.positional.empty() ? "no source file given" : "more than one source file given");
  }
  request.source = parsed.positional[0];
  if (request.output.empty())
    request.output = std::filesystem::path(request.source).replace_extension(".tern").string();
  if (request.output == request.source)
    return usage_error("asm", "the image would replace the source; name it with -o");
  if (!request.format_given) request.format = image_format_for_path(request.output);
  return kExitOk;
}

// The emulator reads memory_trits.txt whenever it exists, so a fresh text image
// beside an old trit image would be ignored: say so.
void warn_about_shadowing(const AsmRequest& request) {
  const std::filesystem::path out(request.output);
  if (out.filename() != "memory_tambrisk.txt") return;
  const std::filesystem::path trits = out.parent_path() / "memory_trits.txt";
  std::error_code ignored;
  if (std::filesystem::exists(trits, ignored)) {
    std::fprintf(stderr,
                 "quill asm: warning: %s exists and the emulator loads it instead of %s; remove it, or write the "
                 "trit image with -o %s\n",
                 trits.string().c_str(), request.output.c_str(), trits.string().c_str());
  }
}

int write_outputs(const AsmRequest& request, const AsmResult& result) {
  std::string error;
  if (result.image.empty()) return failure("asm", request.source + ": the program places no trytes; no image written");
  if (!write_image_file(request.output, result.image, request.format, error)) return failure("asm", error);
  if (!request.listing.empty() && !write_output_file(request.listing, format_listing(result), error)) {
    return failure("asm", "listing: " + error);
  }
  if (!request.symbols.empty() && !write_output_file(request.symbols, format_symbols(result.labels), error)) {
    return failure("asm", "symbol file: " + error);
  }
  if (!request.map.empty()) {
    SourceMap map;
    if (!source_map_from_result(result, map)) return failure("asm", "source map: cannot build it");
    if (!write_output_file(request.map, source_map_to_json(map), error)) return failure("asm", "source map: " + error);
  }
  warn_about_shadowing(request);
  return kExitOk;
}

}  // namespace

int asm_command(const std::vector<std::string>& args) {
  ParsedArgs parsed;
  if (int code = kExitOk; !parse_command("asm", kHelp, args, kOptions, parsed, code)) return code;
  std::string error;
  AsmRequest request;
  if (const int code = read_request(parsed, request); code != kExitOk) return code;
  std::string source;
  if (!read_text_file(request.source, source, error)) return failure("asm", error);
  AsmResult result;
  if (!assemble_text(request.source, source, request.options, result)) {
    for (const AsmError& e : result.errors) std::fprintf(stderr, "%s\n", format_error(e).c_str());
    std::fprintf(stderr, "quill asm: %zu error%s; no image written\n", result.errors.size(),
                 result.errors.size() == 1 ? "" : "s");
    return kExitFailure;
  }
  return write_outputs(request, result);
}

}  // namespace quill::cli
