// quill dis: turns a memory image back into assembly source.
#include <cstdio>

#include "tools/dis/disassembler.h"
#include "tools/image/image_file.h"
#include "tools/image/output_file.h"
#include "tools/quill/cli.h"
#include "tools/quill/commands.h"
#include "tools/quill/map_option.h"

namespace quill::cli {

namespace {

constexpr char kHelp[] = R"(Usage: quill dis [OPTIONS] IMAGE

Disassembles a memory image (text or trit format) into assembly source that
quill asm turns back into the same trytes at the same addresses. Trytes that do
not decode as instructions come out as .raw lines, runs of zero trytes as .zero.

Options:
      --from ADDRESS    first address (default: the first tryte that is not zero)
      --count N         number of trytes (default: to the end of the image)
  -s, --symbols FILE    name addresses with the labels of a symbol file (quill asm --symbols)
  -m, --map FILE        give each line the file:line that placed it, and name
                        addresses with the map's labels unless --symbols is given
  -f, --format FORMAT   read IMAGE as text or trits (default: from its name and contents)
  -o, --output FILE     write the source to FILE (default: standard output)
  -h, --help            show this help
)";

const std::vector<OptionDef> kOptions = {
    {nullptr, "--from", true}, {nullptr, "--count", true}, {"-s", "--symbols", true}, {"-m", "--map", true},
    {"-f", "--format", true},  {"-o", "--output", true},   {"-h", "--help", false},
};

struct DisRequest {
  std::string image, symbols, map, output = "-";
  bool from_given = false, format_given = false;
  ImageFormat format = ImageFormat::text;
  DisOptions options;
};

int read_request(const ParsedArgs& parsed, DisRequest& request) {
  for (const ParsedOption& o : parsed.options) {
    if (o.name == "--from") {
      if (!parse_count(o.value, UINT64_MAX, request.options.from)) return usage_error("dis", "bad --from address");
      request.from_given = true;
    } else if (o.name == "--count") {
      if (!parse_count(o.value, UINT64_MAX, request.options.count)) return usage_error("dis", "bad --count");
    } else if (o.name == "--format") {
      if (!parse_image_format(o.value, request.format)) return usage_error("dis", "unknown format '" + o.value + "'");
      request.format_given = true;
    } else if (o.name == "--symbols") {
      request.symbols = o.value;
    } else if (o.name == "--map") {
      request.map = o.value;
    } else if (o.name == "--output") {
      request.output = o.value;
    }
  }
  if (parsed.positional.size() != 1) {
    return usage_error("dis", parsed.positional.empty() ? "no image given" : "more than one image given");
  }
  request.image = parsed.positional[0];
  return kExitOk;
}

}  // namespace

int dis_command(const std::vector<std::string>& args) {
  ParsedArgs parsed;
  if (int code = kExitOk; !parse_command("dis", kHelp, args, kOptions, parsed, code)) return code;
  std::string error;
  DisRequest request;
  if (const int code = read_request(parsed, request); code != kExitOk) return code;
  std::vector<uint8_t> memory;
  const bool read = request.format_given ? read_image_file_as(request.image, request.format, memory, error)
                                         : read_image_file(request.image, memory, error);
  if (!read) return usage_error("dis", error);
  if (!request.symbols.empty()) {
    std::string text;
    if (!read_text_file(request.symbols, text, error)) return usage_error("dis", error);
    if (!parse_symbols(text, request.options.labels, error)) return usage_error("dis", request.symbols + ": " + error);
  }
  SourceMap map;
  if (!request.map.empty()) {
    if (!read_map_file(request.map, map, error)) return usage_error("dis", error);
    if (request.symbols.empty()) request.options.labels = map.labels;
    request.options.map = &map;
  }
  const uint64_t size = memory.size() / 3;
  if (!request.from_given) request.options.from = first_nonzero_tryte(memory.data(), size, 0);
  std::string source;
  if (!disassemble(memory.data(), size, request.options, source, error)) return failure("dis", error);
  if (!write_output_file(request.output, source, error)) return failure("dis", error);
  return kExitOk;
}

}  // namespace quill::cli
