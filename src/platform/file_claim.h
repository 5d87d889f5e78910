// One process's claim on a file, so that two emulators never run the same machine
// folder: an exclusive, advisory lock on the image file itself (flock; on Windows
// LockFileEx on a byte beyond any image's end, which leaves the contents readable).
// No file is created. The system drops the claim when the process ends.
#pragma once

#include <cstdint>

namespace quill {

enum class ClaimOutcome : uint8_t {
  claimed,
  held_elsewhere,  // another process holds it
  failed,          // the file cannot be opened or locked
};

struct FileClaim {
  intptr_t handle = -1;  // the backend's open file; -1 when none
};

// Claims the existing file at `path` without blocking. Writes `out` only on `claimed`.
[[nodiscard]] ClaimOutcome platform_claim_file(const char* path, FileClaim& out);

// Lets the claim go and closes the file; safe on a claim never made.
void platform_release_claim(FileClaim& claim);

}  // namespace quill
