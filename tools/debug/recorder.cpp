#include "tools/debug/recorder.h"

#include <algorithm>
#include <cstring>

#include "cpu/step.h"
#include "host/dispatch.h"
#include "host/host_calls.h"

namespace quill::debug {
namespace {

bool in_group(int64_t call, HostGroup group) {
  return call <= host_group_first(group) && call >= host_group_last(group);
}

int32_t recording_hook(void* context, int64_t call, int64_t argument, int64_t* result) {
  auto& session = *static_cast<Session*>(context);
  HostState& host = session.host.processor->host;
  if (session.timeline.stepping) {
    HostMark mark;
    mark.step = session.step_index + 1;
    mark.call = call;
    {
      LockGuard guard(host.lock);
      mark.read_cursor = host.read_cursor;
      mark.fb_cursor = host.fb_cursor;
      mark.speed = host.speed;
      mark.wake_ns = host.wake_ns;
      mark.key_head = host.key_head;
      mark.key_count = host.key_count;
      mark.hold_depth = host.hold_depth;
      mark.color1 = host.color1;
      mark.color0 = host.color0;
      mark.halt_request = host.halt_request;
      mark.waiting_for_key = host.waiting_for_key;
      mark.frame_dirty = host.frame_dirty;
    }
    session.host_marks.push_back(mark);
  }
  return host_dispatch(&host, call, argument, result);
}

void note_write(void* context, uint64_t first, uint64_t count) {
  auto& session = *static_cast<Session*>(context);
  timeline_note_write(session.timeline, session_machine(session), first, count);
}

// Puts the host state back as it stood before the call. The keys the call took go
// back to the front of the queue (keys queued since stay behind them); what it
// drew and what the cores and fetches did stay.
void restore_host(HostState& host, const HostMark& mark, uint8_t& kept) {
  LockGuard guard(host.lock);
  const uint32_t taken = (host.key_head + kKeyQueueCapacity - mark.key_head) % kKeyQueueCapacity;
  host.key_head = mark.key_head;
  host.key_count = std::min(kKeyQueueCapacity, host.key_count + taken);
  host.read_cursor = mark.read_cursor;
  host.fb_cursor = mark.fb_cursor;
  host.speed = mark.speed;
  host.wake_ns = mark.wake_ns;
  host.hold_depth = mark.hold_depth;
  host.color1 = mark.color1;
  host.color0 = mark.color0;
  host.halt_request = mark.halt_request;
  host.waiting_for_key = mark.waiting_for_key;
  host.frame_dirty = mark.frame_dirty;
  if (in_group(mark.call, HostGroup::fb)) kept |= kKeptPicture;
  if (in_group(mark.call, HostGroup::core) || in_group(mark.call, HostGroup::net)) kept |= kKeptCores;
}

// Undoes the newest recorded step and what its host call changed; false when none is left.
bool undo_step(Session& session, uint8_t& kept) {
  if (!timeline_step_back(session.timeline, session_machine(session))) return false;
  while (!session.host_marks.empty() && session.host_marks.back().step == session.step_index) {
    restore_host(session.host.processor->host, session.host_marks.back(), kept);
    session.host_marks.pop_back();
  }
  session.step_index -= 1;
  session.yielded = true;  // look at the key queue and the clock again before going on
  return true;
}

const Breakpoint* breakpoint_at_pc(const Session& session) {
  const Machine& machine = session.host.processor->machine;
  for (const Breakpoint& b : session.breakpoints) {
    if (b.address == machine.pc && condition_holds(b.condition, machine, b.hits)) return &b;
  }
  return nullptr;
}

bool reverse_done(const ResumeRequest& request, const Machine& machine, uint32_t start_depth, uint64_t undone) {
  switch (request.mode) {
    case Resume::step:
      return undone >= request.count;
    case Resume::next:
      return machine.depth <= start_depth;
    case Resume::finish:
      return machine.depth < start_depth;
    case Resume::until:
    case Resume::go:
      break;
  }
  return false;
}

}  // namespace

void recorder_attach(Session& session) {
  Processor& processor = *session.host.processor;
  processor.machine.host_hook = recording_hook;
  processor.machine.host_context = &session;
  processor.host.note_write = note_write;
  processor.host.note_context = &session;
  recorder_clear(session);
}

uint32_t recorder_step(Session& session) {
  Machine& machine = session_machine(session);
  if (!session.recording) return machine_step(machine);
  const uint32_t status = timeline_step(session.timeline, machine);
  session.step_index += 1;
  // Marks of steps the timeline has forgotten can never be used.
  const uint64_t oldest = session.step_index - session.timeline.records;
  while (!session.host_marks.empty() && session.host_marks.front().step <= oldest) session.host_marks.pop_front();
  return status;
}

void recorder_clear(Session& session) {
  timeline_clear(session.timeline);
  session.host_marks.clear();
  session.step_index = 0;
}

void session_record(Session& session, bool on) {
  session.recording = on;
  if (!on) recorder_clear(session);
}

bool session_reverse(Session& session, const ResumeRequest& request, Stop& stop) {
  if (!session.loaded || session.timeline.records == 0) return false;
  Machine& machine = session_machine(session);
  stop = Stop{};
  const uint32_t start_depth = machine.depth;
  for (;;) {
    if (session.pause_requested.load(std::memory_order_relaxed) != 0) {
      session.pause_requested.exchange(0);
      stop.reason = StopReason::paused;
      return true;
    }
    if (!undo_step(session, stop.kept)) {
      stop.reason = StopReason::oldest;
      return true;
    }
    stop.executed += 1;
    if (!session.watches.empty()) {
      if (const Watch* watch = session_changed_watch(session)) {
        stop.reason = StopReason::watch;
        stop.id = watch->id;
        stop.writer = machine.pc;
        return true;
      }
    }
    if (const Breakpoint* hit = breakpoint_at_pc(session)) {
      stop.reason = StopReason::breakpoint;
      stop.id = hit->id;
      return true;
    }
    if (session.timeline.records == 0) {
      stop.reason = StopReason::oldest;
      return true;
    }
    if (reverse_done(request, machine, start_depth, stop.executed)) return true;
  }
}

}  // namespace quill::debug
