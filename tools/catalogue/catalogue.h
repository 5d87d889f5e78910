// The files written from the catalogues of host calls (src/host/host_calls.h), key
// codes (src/host/key_codes.h) and colours: the assembler includes in programs/lib
// and the call and key tables of docs/host-calls.md; and the keywords of the
// editor grammar from the assembler's words (cpu/opcode.h, tools/asm/keywords.h).
// `quill_catalogue` writes them into the source tree; a test checks that the
// committed copies are up to date.
#pragma once

#include <string>

namespace quill::catalogue {

// The assembler's spelling of a name in the lists: "fb_set_pixel" is FB_SET_PIXEL.
[[nodiscard]] std::string assembler_name(const char* name);

// programs/lib/host.tasm: one constant per host call, SYS_HALT = -11.
[[nodiscard]] std::string host_include();

// programs/lib/keys.tasm: one constant per special key code, KEY_ENTER = 100.
[[nodiscard]] std::string keys_include();

// programs/lib/colors.tasm: the colour code's digit weights, black, white and the
// 27 base colours, COLOR_RED = 180.
[[nodiscard]] std::string colors_include();

// `doc` with the text between each "<!-- calls: GROUP -->" line and the next
// "<!-- end calls -->" line replaced by that group's table. False, leaving `out`
// alone, when a group has no such place or a place names no group.
[[nodiscard]] bool with_call_tables(const std::string& doc, std::string& out);

// `doc` with the text between the "<!-- keys -->" line and the next
// "<!-- end keys -->" line replaced by the table of key codes: the rule for
// characters, then each special key's name, code, assembler name and script form.
// False, leaving `out` alone, when there is no such place.
[[nodiscard]] bool with_key_table(const std::string& doc, std::string& out);

// `grammar`, the editor grammar's JSON, with the "match" of each keyword entry of
// its repository ("instructions", "pseudo-instructions", "directives",
// "reserved") built from the assembler's word lists, written out in the one
// layout this function gives. False, leaving `out` alone, when `grammar` is not
// JSON or lacks one of those entries.
[[nodiscard]] bool with_grammar_words(const std::string& grammar, std::string& out);

// Where each generated file lives, relative to the source folder.
inline constexpr const char* kHostInclude = "programs/lib/host.tasm";
inline constexpr const char* kKeysInclude = "programs/lib/keys.tasm";
inline constexpr const char* kColorsInclude = "programs/lib/colors.tasm";
inline constexpr const char* kHostCallsDoc = "docs/host-calls.md";
inline constexpr const char* kGrammar = "editors/vscode/syntaxes/tasm.tmLanguage.json";

}  // namespace quill::catalogue
