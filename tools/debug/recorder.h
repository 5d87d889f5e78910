// Recording for going back: the session steps through here so that the timeline
// keeps what each instruction overwrote, and the host calls it makes are seen
// through the session's own host hook, which keeps what they change in the host
// state and has their memory writes noted before they happen.
#pragma once

#include <cstdint>

#include "tools/debug/session.h"

namespace quill::debug {

// Puts the session's hook and write note in front of the host's, after a load.
void recorder_attach(Session& session);

// One machine_step, recorded when recording is on. Returns machine_step's status.
uint32_t recorder_step(Session& session);

// Forgets every record and host mark.
void recorder_clear(Session& session);

}  // namespace quill::debug
