#include "tools/debug/recorder.h"

#include <algorithm>
#include <cstring>

#include "cpu/engine.h"
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
  Timeline& timeline = session.timeline;
  if (!timeline.on) return host_dispatch(&host, call, argument, result);
  HostMark mark;
  mark.step = timeline_position(session_machine(session));
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
  timeline_call_begin(timeline);
  const int32_t ok = host_dispatch(&host, call, argument, result);
  timeline_call_end(timeline, session_machine(session), ok, *result);
  return ok;
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

// Marks of calls the timeline has forgotten, or of a record given up, can never be used.
void after_run(Session& session) {
  const Timeline& timeline = session.timeline;
  if (!timeline.on) {
    session.host_marks.clear();
    return;
  }
  const uint64_t oldest = timeline_oldest(timeline, session_machine(session));
  while (!session.host_marks.empty() && session.host_marks.front().step < oldest) session.host_marks.pop_front();
}

const Breakpoint* breakpoint_at_pc(const Session& session) {
  const Machine& machine = session.host.processor->machine;
  for (const Breakpoint& b : session.breakpoints) {
    if (b.address == machine.pc && condition_holds(b.condition, machine, b.hits)) return &b;
  }
  return nullptr;
}

bool watch_differs(const Session& session) {
  for (const Watch& watch : session.watches) {
    if (std::memcmp(watch.bytes.data(), session.host.memory + 3 * watch.first, watch.bytes.size()) != 0) return true;
  }
  return false;
}

// Where going back may stop: a watched tryte not as last seen, a breakpoint whose
// condition holds, or for next and finish a frame at or above the one left.
struct ReverseProbe {
  const Session* session = nullptr;
  Resume mode = Resume::go;
  uint32_t start_depth = 0;
  bool watch_differs = false;  // as of the last write
};

bool reverse_probe(void* context, const Machine& machine, bool wrote) {
  auto& probe = *static_cast<ReverseProbe*>(context);
  if (wrote && !probe.session->watches.empty()) probe.watch_differs = watch_differs(*probe.session);
  if (probe.watch_differs || breakpoint_at_pc(*probe.session) != nullptr) return true;
  switch (probe.mode) {
    case Resume::next:
      return machine.depth <= probe.start_depth;
    case Resume::finish:
      return machine.depth < probe.start_depth;
    case Resume::step:
    case Resume::until:
    case Resume::go:
      break;
  }
  return false;
}

// Every breakpoint as an engine stop, so that a search back for them replays
// from stop to stop; false (none set) when one cannot be set.
bool set_breakpoint_stops(Session& session) {
  Machine& machine = session_machine(session);
  for (const Breakpoint& b : session.breakpoints) {
    if (!machine_set_stop(machine, b.address, true)) {
      machine_clear_stops(machine);
      return false;
    }
  }
  return true;
}

// Takes back what the host calls made at or after `position` changed in the host.
void restore_hosts_from(Session& session, uint64_t position, uint8_t& kept) {
  while (!session.host_marks.empty() && session.host_marks.back().step >= position) {
    restore_host(session.host.processor->host, session.host_marks.back(), kept);
    session.host_marks.pop_back();
  }
}

}  // namespace

void recorder_attach(Session& session) {
  Processor& processor = *session.host.processor;
  processor.machine.host_hook = recording_hook;
  processor.machine.host_context = &session;
  processor.host.note_write = note_write;
  processor.host.note_context = &session;
  recorder_clear(session);
  if (session.recording) (void)timeline_start(session.timeline, processor.machine);
}

uint32_t recorder_run(Session& session, uint64_t max_steps) {
  const uint32_t status = timeline_run(session.timeline, session_machine(session), max_steps);
  after_run(session);
  return status;
}

uint32_t recorder_step(Session& session) {
  Machine& machine = session_machine(session);
  if (!session.timeline.on) return machine_step(machine);
  const uint32_t status = recorder_run(session, 1);
  if (status != status_budget_reached || session.timeline.yielded) return status;
  machine.status = status_ready;  // the batch of one was used up: no yield asked
  return status_ready;
}

void recorder_clear(Session& session) {
  timeline_clear(session.timeline, session_machine(session));
  session.host_marks.clear();
}

void session_record(Session& session, bool on) {
  session.recording = on;
  if (!on) {
    if (session.loaded) recorder_clear(session);
  } else if (session.loaded && !session.timeline.on) {
    (void)timeline_start(session.timeline, session_machine(session));
  }
}

bool session_reverse(Session& session, const ResumeRequest& request, Stop& stop) {
  if (!session.loaded) return false;
  Machine& machine = session_machine(session);
  Timeline& timeline = session.timeline;
  const uint64_t now = timeline_position(machine);
  const uint64_t oldest = timeline_oldest(timeline, machine);
  if (now <= oldest) return false;
  stop = Stop{};
  if (session.pause_requested.exchange(0) != 0) {
    stop.reason = StopReason::paused;
    return true;
  }
  const uint64_t lowest = request.mode == Resume::step ? now - std::min(request.count, now - oldest) : oldest;
  uint64_t target = lowest;
  if (!session.breakpoints.empty() || !session.watches.empty() || request.mode == Resume::next ||
      request.mode == Resume::finish) {
    ReverseProbe probe{&session, request.mode, machine.depth, false};
    const bool at_stops = session.watches.empty() && request.mode != Resume::next && request.mode != Resume::finish &&
                          set_breakpoint_stops(session);
    target = timeline_back_to(timeline, machine, lowest, {reverse_probe, &probe, at_stops}, session.pause_requested);
    machine_clear_stops(machine);
  } else if (!timeline_seek(timeline, machine, lowest)) {
    return false;
  }
  restore_hosts_from(session, target, stop.kept);
  session.yielded = true;  // look at the key queue and the clock again before going on
  stop.executed = now - target;
  if (const Watch* watch = session_changed_watch(session)) {
    stop.reason = StopReason::watch;
    stop.id = watch->id;
    stop.writer = machine.pc;
  } else if (const Breakpoint* hit = breakpoint_at_pc(session)) {
    stop.reason = StopReason::breakpoint;
    stop.id = hit->id;
  } else if (target == timeline_oldest(timeline, machine)) {
    stop.reason = StopReason::oldest;
  } else if (session.pause_requested.exchange(0) != 0) {
    stop.reason = StopReason::paused;
  }
  return true;
}

}  // namespace quill::debug
