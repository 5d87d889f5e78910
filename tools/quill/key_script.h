// The notation of `quill run --keys`: text whose characters become their
// character codes, with special keys in braces.
//
//   {enter} {backspace} {left} {right} {up} {down} {delete} {escape} (or {esc})
//   {home} {end} {ctrl-s} {ctrl-d} {tab} {shift-enter}   key codes 100 .. 113
//   {N}                                                 the key code N (0 .. 113)
//   {{                                                  the character "{"
//   a line break                                        {enter}; a tab character is {tab}
//
// Carriage returns are skipped, so files with Windows line ends read the same.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quill::cli {

// The key codes that `script` (UTF-8) spells, in order, into `codes`. False, with
// `error` naming the byte offset, for an unknown key name, an unclosed brace or a
// character that has no code (such as "#", "$", "%", "&", "@").
[[nodiscard]] bool parse_key_script(const std::string& script, std::vector<int64_t>& codes, std::string& error);

}  // namespace quill::cli
