// The catalogue of host calls: every number a program may call, with its group,
// its name, its arguments, its result and when it fails. Everything else that
// knows host-call numbers takes them from here: the services' case labels and the
// dispatcher's routes (C++), programs/lib/host.tasm (the assembler's names) and the
// tables of docs/host-calls.md (both written by tools/catalogue, and checked by a
// test). Adding a call to a group is one line below plus its service code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>

// G(group, title): the groups in the order of their numbers. Each owns one block of
// 400 numbers (-1 .. -400, -160001 .. -160400, ...); its calls lie in that block.
#define QUILL_HOST_GROUPS(G) \
  G(sys, "System")           \
  G(core, "Auxiliary cores") \
  G(fb, "Framebuffer")       \
  G(kbd, "Keyboard")         \
  G(net, "Network fetch")

// C(number, group, name, arguments, result, fails when), in the order of the numbers
// (-1 first). The C++ name is group_name (host_call::fb_set_pixel), the assembler's
// the same in capitals (FB_SET_PIXEL). x and y are the two cells of the argument
// block; "*yields*" marks calls after which the runner ends its batch at once.
// clang-format off
#define QUILL_HOST_CALLS(C) \
  C(-1, sys, present, "", "1", "") \
  C(-2, sys, memory_size, "", "memory size in trytes", "") \
  C(-3, sys, read_tryte, "x address", "the tryte's index in the symbol alphabet (0 … 26)", "x outside memory, tryte invalid") \
  C(-4, sys, write_packed, "x address, y value", "x + trytes written; writes y in packed form", "y < 0 or > 293,292,210,960, x < 0, does not fit") \
  C(-5, sys, read_cell, "x address", "the cell's value", "not a cell there") \
  C(-6, sys, write_cell, "x address, y value", "x + 10; writes y as a cell", "x < 0, does not fit") \
  C(-7, sys, executed, "", "instructions executed (`NIL` above 511,999,999,999)", "") \
  C(-8, sys, get_speed, "", "speed, instructions per second", "") \
  C(-9, sys, set_speed, "x speed (0: unpaced)", "x; *yields*", "x < 0") \
  C(-10, sys, sleep, "x instruction times", "x; the runner sleeps that long at the current speed; *yields*", "x < 0") \
  C(-11, sys, halt, "", "0; the runner halts; *yields*", "") \
  C(-12, sys, elapsed_ms, "", "milliseconds since start-up", "") \
  C(-13, sys, set_cursor, "x address (≤ size)", "x; sets the read cursor", "x < 0 or > size") \
  C(-14, sys, cursor_tryte, "", "tryte at the cursor, as SYS_READ_TRYTE; cursor + 1", "cursor at the end, tryte invalid") \
  C(-15, sys, cursor_cell, "", "cell at the cursor; cursor + 10", "not a cell there") \
  C(-21, core, count, "", "3, the number of core slots", "") \
  C(-22, core, start, "x address of four cells: source, length (1 … 262,144), initial acc, budget (1 … 511,999,999,999, `NIL` for 64,000,000); y slot 0 … 2 or `NIL` for the first free", "the slot, or `NIL` when none is free", "a bad block, y not a slot or `NIL`") \
  C(-23, core, state, "x slot", "state: 0 idle, 1 running, 2 finished, 3 failed", "x not a slot") \
  C(-24, core, result, "x slot", "the result when finished, else `NIL`", "x not a slot") \
  C(-25, core, stop, "x slot, or `NIL` for all", "0; asks the core to stop", "x not a slot or `NIL`") \
  C(-26, core, executed, "x slot", "instructions the core has executed (`NIL` above 511,999,999,999)", "x not a slot") \
  C(-160001, fb, width, "", "500", "") \
  C(-160002, fb, height, "", "320", "") \
  C(-160003, fb, set_pixel, "x pixel, y selector", "x; sets the pixel", "x > 159,999, y not 0 or 1") \
  C(-160004, fb, pixel_lit, "x pixel", "1 when the pixel is not black, else 0", "x > 159,999") \
  C(-160005, fb, clear, "x selector", "160,000; fills the picture", "x not 0 or 1") \
  C(-160006, fb, bit_pattern, "x pixel, y pattern", "x + n: the n bits below y's highest set bit pick register 1 or 0 for n pixels, within one row", "x > 159,999, y < 2, the pattern leaves the row") \
  C(-160007, fb, scroll_up, "x rows (0 … 320), y selector", "x; scrolls up, fills the bottom rows", "x > 320, y not 0 or 1") \
  C(-160008, fb, invert_run, "x pixel, y count", "x + y; inverts the colours of a run within one row", "x > 159,999, y < 0, the run leaves the row") \
  C(-160009, fb, fill_run, "x pixel, y count", "x + y; fills a run with register 0", "x > 160,000, y < 0, the run passes the last pixel") \
  C(-160010, fb, hold, "", "the new hold depth; the window keeps showing the picture", "4,294,967,295 holds open") \
  C(-160011, fb, release, "", "the new hold depth; at 0 the window shows what was drawn", "no hold open") \
  C(-160012, fb, recolor_pixel, "x pixel, y colour value or `NIL`", "x; changes the pixel's colour", "x > 159,999, abs(y) > 7999") \
  C(-160013, fb, pixel_code, "x pixel", "the pixel's colour code", "x > 159,999") \
  C(-160014, fb, set_color1, "x colour value or `NIL`", "sets register 1; its code", "abs(x) > 7999") \
  C(-160015, fb, set_color0, "x colour value or `NIL`", "sets register 0; its code", "abs(x) > 7999") \
  C(-160016, fb, get_color1, "", "code of register 1", "") \
  C(-160017, fb, get_color0, "", "code of register 0", "") \
  C(-160018, fb, set_cursor, "x position (0 … 160,000)", "x; sets the run cursor", "x < 0 or > 160,000") \
  C(-160019, fb, cursor_run, "x count", "the new cursor; fills a run from the cursor with register 0", "x < 0, the run passes the last pixel") \
  C(-320001, kbd, count, "", "number of waiting codes", "") \
  C(-320002, kbd, take, "", "the oldest code, removed; `NIL` when none waits", "") \
  C(-320003, kbd, present, "", "1", "") \
  C(-320004, kbd, wait, "", "0; when no code waits, the processor sleeps until one arrives; *yields*", "") \
  C(-480001, net, fetch, "x address of a URL descriptor", "the body length after a successful fetch; `NIL` after a failed one", "the descriptor or the URL malformed") \
  C(-480002, net, body_byte, "x index, or `NIL` for the read position", "the byte (0 … 255); the read position moves past it", "x < 0, no byte at the index") \
  C(-480003, net, status, "", "outcome of the last fetch: 200, another HTTP status, an error number, or 0 before any", "") \
  C(-480004, net, digest_byte, "x index (0 … 31)", "byte x of the body's SHA-256 digest", "x outside 0 … 31, the last status not 200")
// clang-format on

namespace quill {

enum class HostGroup : uint8_t {
#define QUILL_GROUP_ENUM(group, title) group,
  QUILL_HOST_GROUPS(QUILL_GROUP_ENUM)
#undef QUILL_GROUP_ENUM
};

struct HostGroupInfo {
  HostGroup group;
  const char* prefix;  // "fb": the start of its calls' names
  const char* title;
};

inline constexpr HostGroupInfo kHostGroups[] = {
#define QUILL_GROUP_INFO(group, title) {HostGroup::group, #group, title},
    QUILL_HOST_GROUPS(QUILL_GROUP_INFO)
#undef QUILL_GROUP_INFO
};

struct HostCallInfo {
  int64_t number;
  HostGroup group;
  const char* name;  // "fb_set_pixel"
  const char* arguments;
  const char* result;
  const char* fails;
};

inline constexpr HostCallInfo kHostCalls[] = {
#define QUILL_CALL_INFO(number, group, name, arguments, result, fails) \
  {number, HostGroup::group, #group "_" #name, arguments, result, fails},
    QUILL_HOST_CALLS(QUILL_CALL_INFO)
#undef QUILL_CALL_INFO
};

// The numbers by name, for case labels: host_call::fb_set_pixel.
namespace host_call {
#define QUILL_CALL_CONSTANT(number, group, name, arguments, result, fails) \
  inline constexpr int64_t group##_##name = number;
QUILL_HOST_CALLS(QUILL_CALL_CONSTANT)
#undef QUILL_CALL_CONSTANT
}  // namespace host_call

inline constexpr int64_t kHostGroupBlock = 400;  // numbers per group block

// The group's first number (nearest zero) and last one among its calls.
[[nodiscard]] constexpr int64_t host_group_first(HostGroup group) {
  for (const HostCallInfo& call : kHostCalls) {
    if (call.group == group) return call.number;
  }
  return 0;
}
[[nodiscard]] constexpr int64_t host_group_last(HostGroup group) {
  int64_t last = 0;
  for (const HostCallInfo& call : kHostCalls) {
    if (call.group == group) last = call.number;
  }
  return last;
}

// The list is in order, each group's calls together, in its own block and in the
// order of kHostGroups; so the groups' ranges never overlap and routing by range is
// unambiguous.
[[nodiscard]] constexpr bool host_catalogue_is_ordered() {
  for (size_t i = 0; i < std::size(kHostCalls); ++i) {
    const HostCallInfo& call = kHostCalls[i];
    if (call.number >= 0) return false;
    if (i > 0 && (call.number >= kHostCalls[i - 1].number || call.group < kHostCalls[i - 1].group)) return false;
    if ((-call.number - 1) / kHostGroupBlock != (-host_group_first(call.group) - 1) / kHostGroupBlock) return false;
  }
  for (size_t g = 0; g < std::size(kHostGroups); ++g) {
    if (kHostGroups[g].group != static_cast<HostGroup>(g) || host_group_first(kHostGroups[g].group) == 0) return false;
  }
  return true;
}
static_assert(host_catalogue_is_ordered());

}  // namespace quill
