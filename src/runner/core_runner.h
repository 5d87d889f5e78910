// The thread of an auxiliary core, which processor_init hands to the host state
// for the core host calls to start.
#pragma once

namespace quill {

// The thread procedure of a core; `slot` is its CoreSlot. Ends after writing the
// slot's final state.
void core_runner(void* slot);

}  // namespace quill
