// quill run: boots a memory image on the headless host (the application's runner,
// host services, cores and fetch, without a window) and reports how it ended.
#include <sys/stat.h>

#include <cinttypes>
#include <cstdio>

#include "codec/image_files.h"
#include "codec/tryte.h"
#include "host/framebuffer.h"
#include "host/keyboard.h"
#include "platform/clock.h"
#include "runner/headless.h"
#include "tools/dis/disassembler.h"
#include "tools/image/image_file.h"
#include "tools/image/output_file.h"
#include "tools/image/png.h"
#include "tools/quill/cli.h"
#include "tools/quill/commands.h"
#include "tools/quill/key_script.h"
#include "tools/quill/map_option.h"
#include "tools/quill/run_watch.h"

namespace quill::cli {

namespace {

constexpr char kHelp[] = R"(Usage: quill run [OPTIONS] IMAGE

Runs a memory image (text or trit format, loaded from address 0; or a folder
holding memory_trits.txt or memory_tambrisk.txt, loaded as the emulator does)
without a window, with the emulator's runner, pacing, host calls, auxiliary
cores and network fetch. The run ends when the machine stops, at the step or
time limit, at the breakpoint, or when the program waits for a key and no
scripted key is left.

Options:
      --entry ADDRESS   start address (default 216679)
      --steps N         end after N instructions
      --seconds S       end after S seconds of wall-clock time (e.g. 2 or 0.5)
      --speed S         instructions per second (default 64000000; 0 unpaced)
      --keys TEXT       keys to queue, e.g. "help{enter}" (see below)
      --keys-file FILE  keys to queue, read from FILE (same notation)
      --screenshot PNG  write the final picture (500 x 320) as a PNG file
      --save FOLDER     write both memory image files into FOLDER at the end
      --trace FILE      write one line per executed instruction: address,
                        instruction, then acc and depth after it ("-": stdout)
      --break ADDRESS   end when pc reaches ADDRESS, before executing it: a
                        number (216679, 216_679, 0x34E67), or with --map a
                        label or FILE:LINE
      --map FILE        a source map (quill asm --map): name addresses in the
                        final line and the trace as label+offset (file:line)
      --json            print the final state as one JSON object
  -h, --help            show this help

Keys: characters are queued as their character codes; {enter} {backspace}
{left} {right} {up} {down} {delete} {escape} {home} {end} {ctrl-s} {ctrl-d}
{tab} {shift-enter} are the special keys 100 .. 113, {N} is key code N, {{ is
"{", and a line break is {enter}.

Exit codes: 0 the machine halted, 1 it ended otherwise (or an output could not
be written), 2 bad usage or an unreadable image.
)";

const std::vector<OptionDef> kOptions = {
    {nullptr, "--entry", true},      {nullptr, "--steps", true}, {nullptr, "--seconds", true},
    {nullptr, "--speed", true},      {nullptr, "--keys", true},  {nullptr, "--keys-file", true},
    {nullptr, "--screenshot", true}, {nullptr, "--save", true},  {nullptr, "--trace", true},
    {nullptr, "--break", true},      {nullptr, "--json", false}, {nullptr, "--map", true},
    {"-h", "--help", false},
};

enum class EndReason { machine, steps, seconds, idle, breakpoint };

struct RunRequest {
  std::string image, screenshot, save_folder, trace_path, break_text, map_path;
  SourceMap map;
  bool map_given = false;
  HeadlessOptions options;
  uint64_t time_limit_ms = 0;  // 0: none
  std::vector<int64_t> keys;
  bool json = false, break_set = false;
  uint64_t break_address = 0;
};

// "2", "0.5", "1.25": seconds with up to three decimals, as milliseconds.
bool parse_seconds(const std::string& text, uint64_t& ms) {
  const size_t dot = text.find('.');
  uint64_t whole = 0, fraction = 0;
  const std::string head = text.substr(0, dot);
  if (!parse_count(head, 1'000'000'000, whole)) return false;
  if (dot != std::string::npos) {
    std::string tail = text.substr(dot + 1);
    if (tail.empty() || tail.size() > 3 || !parse_count(tail, 999, fraction)) return false;
    for (size_t k = tail.size(); k < 3; ++k) fraction *= 10;
  }
  ms = whole * 1000 + fraction;
  return ms > 0;
}

int add_keys(const std::string& script, RunRequest& request) {
  std::vector<int64_t> codes;
  std::string error;
  if (!parse_key_script(script, codes, error)) return usage_error("run", "keys: " + error);
  request.keys.insert(request.keys.end(), codes.begin(), codes.end());
  return kExitOk;
}

int read_option(const ParsedOption& o, RunRequest& request) {
  HeadlessOptions& run = request.options;
  if (o.name == "--entry" && !parse_count(o.value, kMemoryTrytes - 1, run.boot_address)) {
    return usage_error("run", "bad --entry address (0 to 63999999)");
  }
  if (o.name == "--steps" && (!parse_count(o.value, UINT64_MAX, run.step_limit) || run.step_limit == 0)) {
    return usage_error("run", "bad --steps count");
  }
  if (o.name == "--speed" && !parse_count(o.value, UINT64_MAX, run.speed)) return usage_error("run", "bad --speed");
  if (o.name == "--seconds" && !parse_seconds(o.value, request.time_limit_ms)) {
    return usage_error("run", "bad --seconds (a positive number, at most three decimals)");
  }
  if (o.name == "--break") {
    request.break_text = o.value;
    request.break_set = true;
  }
  if (o.name == "--map") request.map_path = o.value;
  if (o.name == "--keys") return add_keys(o.value, request);
  if (o.name == "--keys-file") {
    std::string text, error;
    if (!read_text_file(o.value, text, error)) return usage_error("run", error);
    return add_keys(text, request);
  }
  if (o.name == "--screenshot") request.screenshot = o.value;
  if (o.name == "--save") request.save_folder = o.value;
  if (o.name == "--trace") request.trace_path = o.value;
  if (o.name == "--json") request.json = true;
  return kExitOk;
}

// Reads the map and turns --break into an address, once every option is known.
bool resolve_map(RunRequest& request, int& exit_code) {
  std::string error;
  if (!request.map_path.empty()) {
    if (!read_map_file(request.map_path, request.map, error)) {
      exit_code = usage_error("run", error);
      return false;
    }
    request.map_given = true;
  }
  if (request.break_set && !parse_code_address(request.break_text, request.map_given ? &request.map : nullptr,
                                               request.break_address, error)) {
    exit_code = usage_error("run", "--break: " + error);
    return false;
  }
  return true;
}

// False with `exit_code` set when the run ends here (bad usage, --help).
bool read_request(const std::vector<std::string>& args, RunRequest& request, int& exit_code) {
  ParsedArgs parsed;
  if (!parse_command("run", kHelp, args, kOptions, parsed, exit_code)) return false;
  for (const ParsedOption& o : parsed.options) {
    if ((exit_code = read_option(o, request)) != kExitOk) return false;
  }
  if (parsed.positional.size() != 1) {
    exit_code = usage_error("run", parsed.positional.empty() ? "no image given" : "more than one image given");
    return false;
  }
  request.image = parsed.positional[0];
  return resolve_map(request, exit_code);
}

bool is_folder(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string with_separator(const std::string& folder) {
  return folder.empty() || folder.back() == '/' ? folder : folder + "/";
}

// Puts the image into the host's unfilled memory from address 0, as the emulator
// loads it, and zero trytes after it.
int load_image(HeadlessHost& host, const std::string& path) {
  if (is_folder(path)) {
    if (headless_load_folder(host, with_separator(path).c_str())) return kExitOk;
    return usage_error("run", "no readable memory image in folder '" + path + "'");
  }
  uint64_t trytes = 0;
  std::string error;
  if (!read_image_into(path, host.memory, host.size, trytes, error)) return usage_error("run", error);
  fill_zero_trytes(host.memory + 3 * trytes, host.size - trytes);
  return kExitOk;
}

// Feeds the keys as the queue takes them and waits for an end; returns why it ended.
EndReason drive(HeadlessHost& host, const RunRequest& request) {
  const uint64_t start_ns = clock_now_ns();
  size_t next_key = 0;
  for (;;) {
    while (next_key < request.keys.size() && headless_push_key(host, request.keys[next_key])) ++next_key;
    if (headless_wait_end(host, 10)) break;
    const uint64_t elapsed_ms = (clock_now_ns() - start_ns) / 1'000'000;
    if (request.time_limit_ms != 0 && elapsed_ms >= request.time_limit_ms) {
      headless_request_quit(host);
      return EndReason::seconds;
    }
    if (next_key == request.keys.size() && waiting_for_key(host.processor->host)) {
      headless_request_quit(host);
      return EndReason::idle;
    }
  }
  return EndReason::machine;
}

// Why a run that ended by itself ended; after the join.
EndReason own_end(const Machine& machine, const RunRequest& request, const RunWatch& watch) {
  if (watch.broke) return EndReason::breakpoint;
  const uint64_t limit = request.options.step_limit;
  if (!machine_stopped(machine) && limit != 0 && machine.executed >= limit) return EndReason::steps;
  return EndReason::machine;
}

// `text` as a JSON string: file names may hold quotes and backslashes.
std::string json_string(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    if (static_cast<unsigned char>(c) < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
      out += escaped;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

void report(const Machine& machine, uint64_t frame_counter, EndReason reason, const RunRequest& request) {
  static constexpr const char* kReasons[] = {"", "at the step limit", "at the time limit",
                                             "waiting for a key, none left to give", "at the breakpoint"};
  const char* why = kReasons[static_cast<int>(reason)];
  const std::string where = map_name_suffix(request.map_given ? &request.map : nullptr, machine.pc);
  if (request.json) {
    const std::string named = where.empty() ? "" : ", \"pc_name\": " + json_string(where.substr(1));
    std::printf("{\"status\": %u, \"status_text\": \"%s\", \"pc\": %" PRIu64
                "%s, \"acc\": %s, \"depth\": %u, "
                "\"executed\": %" PRIu64 ", \"frame_counter\": %" PRIu64 "}\n",
                machine.status, status_text(machine.status), machine.pc, named.c_str(),
                machine.acc == NIL ? "null" : std::to_string(machine.acc).c_str(), machine.depth, machine.executed,
                frame_counter);
    if (reason != EndReason::machine) std::fprintf(stderr, "quill run: ended %s\n", why);
    return;
  }
  std::printf("%s after %" PRIu64 " instructions: pc %" PRIu64 "%s, acc %s, depth %u, frame %" PRIu64 "\n",
              status_text(machine.status), machine.executed, machine.pc, where.c_str(), value_text(machine.acc).c_str(),
              machine.depth, frame_counter);
  if (reason != EndReason::machine) std::printf("ended %s\n", why);
}

// The screenshot and the saved images; false when one could not be written.
bool write_outputs(HeadlessHost& host, const RunRequest& request, uint32_t* picture) {
  bool ok = true;
  if (!request.screenshot.empty()) {
    std::string png, error;
    if (!encode_png(picture, kFrameWidth, kFrameHeight, png)) {
      ok = failure("run", "cannot encode the picture for '" + request.screenshot + "'") == kExitOk;
    } else if (!write_output_file(request.screenshot, png, error)) {
      ok = failure("run", error) == kExitOk;
    }
  }
  if (!request.save_folder.empty() && !headless_save(host, with_separator(request.save_folder).c_str())) {
    ok = failure("run", "cannot save the memory images into '" + request.save_folder + "'") == kExitOk;
  }
  return ok;
}

int run_loaded(HeadlessHost& host, RunRequest& request) {
  RunWatch watch;
  OutputFile trace;
  std::string error;
  if (!request.trace_path.empty()) {
    if (!output_open(trace, request.trace_path, error)) return failure("run", error);
    watch.trace = trace.file;
  }
  watch.break_set = request.break_set;
  watch.break_address = request.break_address;
  if (request.map_given) watch.map = &request.map;
  if (watch.trace != nullptr || watch.break_set) {
    request.options.step_hook = run_watch_step;
    request.options.step_context = &watch;
  }
  if (!headless_start(host, request.options)) {
    output_abandon(trace);
    return failure("run", "cannot start the processor");
  }
  EndReason reason = drive(host, request);
  headless_join(host);
  const Machine& machine = headless_machine(host);
  if (reason == EndReason::machine) reason = own_end(machine, request, watch);
  run_watch_finish(watch, machine);
  bool ok = watch.trace == nullptr || output_close(trace, error);
  if (!ok) (void)failure("run", "trace: " + error);
  auto* picture = static_cast<uint32_t*>(std::malloc(sizeof(uint32_t) * kPixelCount));
  if (picture == nullptr) return failure("run", "out of memory");
  const uint64_t frame_counter = headless_copy_framebuffer(host, picture);
  report(machine, frame_counter, reason, request);
  ok = write_outputs(host, request, picture) && ok;
  std::free(picture);
  if (!ok) return kExitFailure;
  return machine.status == status_halted ? kExitOk : kExitFailure;
}

}  // namespace

int run_command(const std::vector<std::string>& args) {
  RunRequest request;
  if (int code = kExitOk; !read_request(args, request, code)) return code;
  HeadlessHost host;
  if (!headless_create_unfilled(host, kMemoryTrytes)) return failure("run", "out of memory");
  int code = load_image(host, request.image);
  if (code == kExitOk) code = run_loaded(host, request);
  headless_destroy(host);
  return code;
}

}  // namespace quill::cli
