#include "app/debug_listener.h"

#include "platform/clock.h"
#include "tools/dap/server.h"

namespace quill {
namespace {

constexpr uint32_t kRetryMs = 100;  // after a failed accept, and between looks at a session that is ending
constexpr int kGraceLooks = 2;      // looks at a session before cutting it off: time to say it ended

bool read_connection(void* context, uint8_t* bytes, size_t capacity, size_t& received) {
  return tcp_read(*static_cast<TcpConnection*>(context), bytes, capacity, received);
}

bool write_connection(void* context, const uint8_t* bytes, size_t length) {
  return tcp_write(*static_cast<TcpConnection*>(context), bytes, length);
}

// The listening thread: one session after another until the listener is closed.
void listen_for_debuggers(void* argument) {
  DebugListener& debug = *static_cast<DebugListener*>(argument);
  dap::LiveMachine live;
  live.context = &debug.gate;
  live.pause = debug_gate_pause;
  live.resume = debug_gate_resume;
  live.wait_paused = debug_gate_wait_paused;
  dap::DapServerOptions options;
  options.live = &live;
  while (debug.closing.load() == 0) {
    TcpConnection connection;
    if (!tcp_accept(debug.listener, connection)) {
      if (debug.closing.load() == 0) sleep_ms(kRetryMs);  // out of descriptors, say: no spinning
      continue;
    }
    {
      LockGuard hold(debug.lock);
      if (debug.closing.load() != 0) {
        tcp_close(connection);
        break;
      }
      debug.connection.handle = connection.handle;
      debug.connection.open = true;
      debug.serving = true;
      debug.sessions += 1;
    }
    dap::DapChannel channel;
    channel.context = &debug.connection;
    channel.read = read_connection;
    channel.write = write_connection;
    (void)dap::dap_serve(channel, options);
    debug_gate_detach(debug.gate);  // a client that vanished leaves the machine running free
    {
      LockGuard hold(debug.lock);
      tcp_close(debug.connection);
      debug.serving = false;
    }
    event_signal(debug.session_ended);
  }
}

}  // namespace

bool debug_listener_start(DebugListener& debug, uint16_t port) {
  if (debug.started) return false;
  if (!debug_gate_init(debug.gate) || !lock_init(debug.lock) || !event_init(debug.session_ended) ||
      !tcp_listen(debug.listener, port)) {
    debug.started = true;  // so that stop frees what was made
    debug_listener_stop(debug);
    return false;
  }
  debug.started = true;
  if (thread_start(debug.thread, listen_for_debuggers, &debug)) return true;
  debug_listener_stop(debug);
  return false;
}

void debug_listener_take_back(DebugListener& debug, Processor& processor) {
  if (!debug.started) return;
  debug_gate_unbind(debug.gate, processor);  // a pause from now on answers no
  uint64_t session = 0;
  {
    LockGuard hold(debug.lock);
    if (!debug.serving) return;
    session = debug.sessions;  // a later one cannot reach the machine any more
  }
  for (int looks = 0;; ++looks) {
    {
      LockGuard hold(debug.lock);
      if (!debug.serving || debug.sessions != session) return;
      // A server waiting for the runner hears that it ended and can tell its client
      // so; one idle between requests only notices when its connection closes.
      if (looks >= kGraceLooks) tcp_interrupt(debug.connection);
    }
    (void)event_wait_ms(debug.session_ended, kRetryMs);
  }
}

void debug_listener_stop(DebugListener& debug) {
  if (!debug.started) return;
  debug.closing.store(1);
  if (debug.thread.started) {
    {
      LockGuard hold(debug.lock);
      tcp_interrupt(debug.listener);
      if (debug.serving) tcp_interrupt(debug.connection);
    }
    thread_join(debug.thread);
  }
  tcp_close(debug.listener);
  event_destroy(debug.session_ended);
  lock_destroy(debug.lock);
  debug_gate_destroy(debug.gate);
  debug.started = false;
}

}  // namespace quill
