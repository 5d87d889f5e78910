// Recording for going back: the session runs the machine through here so that the
// timeline keeps its writes and checkpoints, and its host calls are seen through
// the session's own host hook, which keeps the host state as it stood before each
// one and tells the timeline what the call returned and wrote.
#pragma once

#include <cstdint>

#include "tools/debug/session.h"

namespace quill::debug {

// Puts the session's hook and write note in front of the host's after a load, and
// starts recording when it is on.
void recorder_attach(Session& session);

// Runs up to `max_steps` instructions as machine_run does, recorded when recording
// is on (see timeline_run: a recorded run may also end early at a checkpoint).
uint32_t recorder_run(Session& session, uint64_t max_steps);

// One instruction, recorded when recording is on. Returns what machine_step would.
uint32_t recorder_step(Session& session);

// Forgets every record and host mark.
void recorder_clear(Session& session);

}  // namespace quill::debug
