// quill dap: the debug adapter for editors, over standard input and output or,
// with --port, over one TCP connection on 127.0.0.1.
#include <cstdio>

#include "platform/standard_stream.h"
#include "platform/tcp.h"
#include "tools/dap/server.h"
#include "tools/quill/cli.h"
#include "tools/quill/commands.h"

namespace quill::cli {

namespace {

constexpr char kHelp[] = R"(Usage: quill dap [--port N]

Speaks the Debug Adapter Protocol, so that an editor (VS Code, Neovim's nvim-dap,
Emacs's dape) can debug programs: the editor starts it and sends a `launch` whose
"program" is a .tasm source (assembled on the spot) or a memory image with its
"map" or "symbols". docs/debugging.md lists the arguments and the requests.

Options:
      --port N    listen on 127.0.0.1:N for one editor instead of standard
                  input and output; the port is printed once listening
  -h, --help      show this help

Exit codes: 0 after the editor disconnected, 1 when the connection broke or the
port cannot be opened, 2 bad usage.
)";

const std::vector<OptionDef> kOptions = {
    {nullptr, "--port", true},
    {"-h", "--help", false},
};

bool read_stdin(void*, uint8_t* bytes, size_t capacity, size_t& received) {
  return standard_input_read(bytes, capacity, received);
}

bool write_stdout(void*, const uint8_t* bytes, size_t length) { return standard_output_write(bytes, length); }

bool read_tcp(void* context, uint8_t* bytes, size_t capacity, size_t& received) {
  return tcp_read(*static_cast<TcpConnection*>(context), bytes, capacity, received);
}

bool write_tcp(void* context, const uint8_t* bytes, size_t length) {
  return tcp_write(*static_cast<TcpConnection*>(context), bytes, length);
}

int serve_port(uint16_t port) {
  TcpListener listener;
  if (!tcp_listen(listener, port)) return failure("dap", "cannot listen on 127.0.0.1:" + std::to_string(port));
  // The editor (or a test that asked for port 0) reads where to connect.
  std::fprintf(stderr, "quill dap: listening on 127.0.0.1:%u\n", static_cast<unsigned>(listener.port));
  std::fflush(stderr);
  TcpConnection connection;
  const bool accepted = tcp_accept(listener, connection);
  tcp_close(listener);
  if (!accepted) return failure("dap", "no editor connected");
  dap::DapChannel channel{&connection, read_tcp, write_tcp};
  const bool clean = dap::dap_serve(channel, dap::DapServerOptions{});
  tcp_close(connection);
  return clean ? kExitOk : kExitFailure;
}

}  // namespace

int dap_command(const std::vector<std::string>& args) {
  ParsedArgs parsed;
  int code = kExitOk;
  if (!parse_command("dap", kHelp, args, kOptions, parsed, code)) return code;
  if (!parsed.positional.empty()) return usage_error("dap", "the program comes with the editor's launch request");
  for (const ParsedOption& o : parsed.options) {
    uint64_t port = 0;
    if (!parse_count(o.value, 65535, port)) return usage_error("dap", "bad --port (0 to 65535)");
    return serve_port(static_cast<uint16_t>(port));
  }
  dap::DapChannel channel{nullptr, read_stdin, write_stdout};
  return dap::dap_serve(channel, dap::DapServerOptions{}) ? kExitOk : kExitFailure;
}

}  // namespace quill::cli
