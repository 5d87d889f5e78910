// `--debug-port`: a thread that listens on 127.0.0.1 and serves one debugger at a
// time over the Debug Adapter Protocol, lending it the window's machine through
// the processor's debug gate. Without the option none of this exists.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/event.h"
#include "platform/lock.h"
#include "platform/tcp.h"
#include "platform/thread.h"
#include "runner/debug_gate.h"

namespace quill {

struct DebugListener {
  DebugGate gate;  // the processor carries a pointer to it while the listener runs
  TcpListener listener;
  PlatformThread thread;
  PlatformLock lock;                // guards `connection` and `serving` between the two threads
  PlatformEvent session_ended;      // signalled when a session ends
  TcpConnection connection;         // the client being served
  bool serving = false;             // a session is under way
  uint64_t sessions = 0;            // sessions begun so far
  std::atomic<int32_t> closing{0};  // set once by debug_listener_stop
  bool started = false;             // first thread only
};

// Listens on 127.0.0.1:`port` and starts the thread that serves debuggers. False
// (nothing left open) when the port cannot be had or a system object is lacking.
// First thread, before the processor starts.
[[nodiscard]] bool debug_listener_start(DebugListener& debug, uint16_t port);

// Takes the machine back from any debugger: pause answers no more, and a session
// under way is ended (its connection closed) and waited for, so nothing of the
// processor is touched afterwards. Before the processor is released (a restart)
// or joined (the close). First thread.
void debug_listener_take_back(DebugListener& debug, Processor& processor);

// Ends the session under way and the listening thread, and frees everything.
// Safe when never started. First thread.
void debug_listener_stop(DebugListener& debug);

}  // namespace quill
