// The debug adapter's attach: a fake window lends a headless machine through
// LiveMachine, runs it on its own thread between stops, and the adapter pauses,
// steps and lets it go. Launching is tested end to end under node (tests/dap).
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <nlohmann/json.hpp>
#include <thread>

#include "codec/tryte.h"
#include "cpu/step.h"
#include "runner/headless.h"
#include "tools/asm/assembler.h"
#include "tools/dap/server.h"

namespace quill::test {
namespace {

using nlohmann::json;

constexpr char kProgram[] =
    "main:\n  lit 3\n  push 0\n  jsr double, 5\n  push 1\n  halt\n"
    "double:\n  push 2\n  add 2 2\n  ret\n";

// The window's side: a runner thread that stops before a breakpoint or at the end.
struct FakeWindow {
  HeadlessHost host;
  std::thread runner;
  std::vector<uint64_t> breakpoints;
  std::atomic<bool> stop_asked{false}, paused{true};
  int resumes = 0;
};

bool fake_pause(void* context, uint8_t** memory, uint64_t* size, Processor** processor) {
  auto& w = *static_cast<FakeWindow*>(context);
  w.stop_asked = true;
  if (w.runner.joinable()) w.runner.join();
  *memory = w.host.memory;
  *size = w.host.size;
  *processor = w.host.processor;
  return true;
}

void fake_resume(void* context, const uint64_t* breakpoints, size_t count) {
  auto& w = *static_cast<FakeWindow*>(context);
  w.breakpoints.assign(breakpoints, breakpoints + count);
  w.resumes += 1;
  w.stop_asked = false;
  w.paused = false;
  w.runner = std::thread([&w] {
    Machine& m = w.host.processor->machine;
    for (bool first = true; !w.stop_asked && m.status == status_ready; first = false) {
      if (!first && std::binary_search(w.breakpoints.begin(), w.breakpoints.end(), m.pc)) break;
      (void)machine_step(m);
    }
    w.paused = true;
  });
}

bool fake_wait_paused(void* context, uint32_t timeout_ms) {
  auto& w = *static_cast<FakeWindow*>(context);
  for (uint32_t k = 0; k < timeout_ms && !w.paused; ++k) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return w.paused;
}

// The editor's side: requests in, messages out, through memory.
struct Pipe {
  std::mutex lock;
  std::condition_variable changed;
  std::string input;
  std::vector<json> output;
  int64_t seq = 1;
};

bool pipe_read(void* context, uint8_t* bytes, size_t capacity, size_t& received) {
  auto& p = *static_cast<Pipe*>(context);
  std::unique_lock guard(p.lock);
  p.changed.wait(guard, [&] { return !p.input.empty(); });
  received = std::min(capacity, p.input.size());
  std::copy_n(p.input.begin(), received, bytes);
  p.input.erase(0, received);
  return true;
}

bool pipe_write(void* context, const uint8_t* bytes, size_t length) {
  auto& p = *static_cast<Pipe*>(context);
  const std::string text(reinterpret_cast<const char*>(bytes), length);
  std::lock_guard guard(p.lock);
  p.output.push_back(json::parse(text.substr(text.find("\r\n\r\n") + 4), nullptr, false));
  p.changed.notify_all();
  return true;
}

// Sends a request and waits for its response.
json ask(Pipe& p, const std::string& command, const json& arguments = json::object()) {
  std::unique_lock guard(p.lock);
  const int64_t seq = p.seq++;
  const std::string body =
      json{{"seq", seq}, {"type", "request"}, {"command", command}, {"arguments", arguments}}.dump();
  p.input += "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
  p.changed.notify_all();
  for (size_t seen = 0;; seen = p.output.size()) {
    p.changed.wait(guard, [&] { return p.output.size() > seen; });
    for (const json& m : p.output) {
      if (m.value("type", "") == "response" && m.value("request_seq", int64_t{0}) == seq) return m;
    }
  }
}

// Waits for the `count`th event named `name`.
json await_event(Pipe& p, const std::string& name, size_t count) {
  std::unique_lock guard(p.lock);
  json found;
  p.changed.wait(guard, [&] {
    size_t n = 0;
    for (const json& m : p.output) {
      if (m.value("event", "") == name && ++n == count) found = m;
    }
    return n >= count;
  });
  return found;
}

TEST(DapAttach, PausesStepsAndLetsTheWindowsMachineGo) {
  FakeWindow window;
  ASSERT_TRUE(headless_create(window.host, kMemoryTrytes));
  AsmResult result;
  ASSERT_TRUE(assemble_text("a.tasm", kProgram, AsmOptions{}, result));
  for (uint64_t a = 0; a < result.image.size(); ++a) put_tryte(window.host.memory, a, result.image[a]);
  window.host.processor->machine.pc = kBootAddress;
  const uint64_t twice = std::find_if(result.labels.begin(), result.labels.end(), [](const AsmLabel& l) {
                           return l.name == "double";
                         })->address;
  const dap::LiveMachine live{&window, fake_pause, fake_resume, fake_wait_paused};

  for (const dap::LiveMachine* lent : {static_cast<const dap::LiveMachine*>(nullptr), &live}) {
    Pipe pipe;
    dap::DapChannel channel{&pipe, pipe_read, pipe_write};
    std::thread server([&] { EXPECT_TRUE(dap::dap_serve(channel, dap::DapServerOptions{lent})); });
    const json attached = ask(pipe, "attach");
    if (lent == nullptr) {
      EXPECT_FALSE(attached.value("success", true));
      EXPECT_NE(attached.value("message", "").find("attach needs"), std::string::npos);
    } else {
      ASSERT_TRUE(attached.value("success", false)) << attached.dump();
      const json set = ask(pipe, "setInstructionBreakpoints",
                           {{"breakpoints", {{{"instructionReference", std::to_string(twice)}}}}});
      EXPECT_TRUE(set["body"]["breakpoints"][0].value("verified", false));
      (void)ask(pipe, "configurationDone");
      EXPECT_EQ(await_event(pipe, "stopped", 1)["body"].value("reason", ""), "pause");
      (void)ask(pipe, "continue");
      EXPECT_EQ(await_event(pipe, "stopped", 2)["body"].value("reason", ""), "instruction breakpoint");
      EXPECT_EQ(window.host.processor->machine.pc, twice);
      (void)ask(pipe, "stepIn");  // on the adapter's thread, while the window stays paused
      EXPECT_EQ(await_event(pipe, "stopped", 3)["body"].value("reason", ""), "step");
      const json frames = ask(pipe, "stackTrace", {{"threadId", 1}})["body"]["stackFrames"];
      EXPECT_EQ(frames.size(), 2u);
      EXPECT_EQ(frames[0].value("instructionPointerReference", ""), std::to_string(window.host.processor->machine.pc));
      EXPECT_GT(window.host.processor->machine.pc, twice);
      const json back = ask(pipe, "stepBack");
      EXPECT_NE(back.value("message", "").find("attached"), std::string::npos);
      EXPECT_EQ(window.resumes, 1);
    }
    (void)ask(pipe, "disconnect");
    server.join();
  }
  // Disconnecting let the machine run on with no breakpoints, to its end.
  EXPECT_EQ(window.resumes, 2);
  EXPECT_TRUE(window.breakpoints.empty());
  window.runner.join();
  EXPECT_EQ(window.host.processor->machine.status, status_halted);
  headless_destroy(window.host);
}

}  // namespace
}  // namespace quill::test
