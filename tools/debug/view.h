// The session as text: where the machine stands, its stacks and frames, memory in
// the codec's forms, the source and the disassembly around an address, the cores.
// Each returns or appends text; nothing here prints.
#pragma once

#include <cstdint>
#include <string>

#include "tools/debug/session.h"

namespace quill::debug {

// How `x` shows memory: trytes as symbols, as trits, number literals, cells,
// packed values of `width` trytes, or cells read as characters.
enum class MemoryForm : uint8_t { trytes, trits, numbers, cells, packed, characters };

// "216690 main+11 (p.tasm:12): lit 5" and, when the map knows it, the source line.
[[nodiscard]] std::string view_location(Session& session, uint64_t address);

// Why the last resume stopped, then the location it stopped at.
[[nodiscard]] std::string view_stop(Session& session, const Stop& stop);

// "pc 216690 main+11 (p.tasm:12)  acc 5  depth 0  executed 12  ready".
[[nodiscard]] std::string view_registers(Session& session);

// "stack 3: 1 2 3 (top last)" of the current frame.
[[nodiscard]] std::string view_stack(const Machine& machine, uint32_t stack);

// Every non-empty stack of the current frame, or a line saying there is none.
[[nodiscard]] std::string view_stacks(const Machine& machine);

// The return stack, innermost first: "#0 216690 main+11 (p.tasm:12)", then each return address.
[[nodiscard]] std::string view_backtrace(Session& session);

// `count` items in `form` from `address`; false with `error` when memory ends or a
// tryte does not read in that form.
[[nodiscard]] bool view_memory(Session& session, MemoryForm form, uint32_t width, uint64_t address, uint64_t count,
                               std::string& out, std::string& error);

// Source lines around the line that placed `address`, "=>" at it; false without a map line.
[[nodiscard]] bool view_list(Session& session, uint64_t address, uint32_t radius, std::string& out);

// About `count` instructions around `address` with their labels, "=>" at it.
[[nodiscard]] std::string view_disassemble(Session& session, uint64_t address, uint32_t count);

// One line per auxiliary core: state, pc, executed.
[[nodiscard]] std::string view_cores(Session& session);

}  // namespace quill::debug
