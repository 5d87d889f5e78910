// quill debug end to end: command scripts piped into the built command, compared
// with what it prints, for a source, an image with its symbols, and failing commands.
#include <gtest/gtest.h>

#include <string>

#include "support/temp_folder.h"
#include "tools/quill_process.h"

namespace quill::test {
namespace {

constexpr char kProgram[] = R"(main:
  lit 3
  push 0
  jsr double, 5
  push 1
  nil
  push 4
  lit 42
  push 5
  lit slot
  call 4 5
  sys -320004
  sys -320002
  halt
double:
  push 2
  push 2
  add 2 2
  ret
slot:
  .zero 4
greeting:
  .text "Hi"
)";

struct Script {
  const char* name;
  const char* setup;  // a quill command run first, or ""
  const char* arguments;
  const char* commands;
  const char* expected;
  int exit_code;
};

const Script kScripts[] = {
    {"source session", "", "debug e.tasm",
     R"(break double
break e.tasm:3 if acc == 4
info breakpoints
run
backtrace
finish
print
watch slot..slot+3
continue
x slot 4
x/r slot 2
x/p2 slot
x/c greeting
x/s greeting 2
list
disassemble double 3
continue
keys A
continue
print stacks
cores
screenshot s.png
delete 1
run
quit
)",
     R"(e.tasm at 216679 main (e.tasm:2): lit 3
    2 |   lit 3
breakpoint 1 at 216746 double (e.tasm:16)
breakpoint 2 at 216681 main+2 (e.tasm:3)
1  break 216746 double (e.tasm:16)  hits 0
2  break 216681 main+2 (e.tasm:3)  if acc == 4  hits 0
breakpoint 1
216746 double (e.tasm:16): push 2
    16 |   push 2
#0 216746 double (e.tasm:16)
    16 |   push 2
#1 216698 main+19 (e.tasm:5)
    5 |   push 1
216698 main+19 (e.tasm:5): push 1
    5 |   push 1
pc 216698 main+19 (e.tasm:5)
acc 10
depth 0
executed 11
status ready
watch 3 on 216754..216757
watch 3: written by 216714 main+35 (e.tasm:11)
216717 main+38 (e.tasm:12): nil
    12 |   sys -320004
216754: -A..
216754: --- ..+
216754: 42
216758: 35
216758: Hi
e.tasm:
   7 |   push 4
   8 |   lit 42
   9 |   push 5
   10 |   lit slot
   11 |   call 4 5
=> 12 |   sys -320004
   13 |   sys -320002
   14 |   halt
   15 | double:
   16 |   push 2
   17 |   push 2
double:
=> 216746  push 2
   216748  push 2
   216750  add 2 2
the program waits for a key (queue some with `keys`)
216731 main+52 (e.tasm:13): nil
    13 |   sys -320002
queued 1 keys
halted after 29 instructions: pc 216746 double (e.tasm:16), acc 28, depth 0
stack 0: 3 (top last)
stack 1: 10 (top last)
core 0: idle, executed 0
core 1: idle, executed 0
core 2: idle, executed 0
wrote s.png
watch 3: written by 216714 main+35 (e.tasm:11)
216717 main+38 (e.tasm:12): nil
    12 |   sys -320004
)",
     0},
    {"image with symbols", "asm e.tasm -o e.tern --symbols e.sym", "debug e.tern --symbols e.sym",
     R"(break double+2
run
print stack 2
step
print acc
x/n 216679 1
print pc
)",
     R"(e.tern at 216679 main: lit 3
breakpoint 1 at 216748 double+2
breakpoint 1
216748 double+2: push 2
stack 2: 5 (top last)
216750 double+4: add 2 2
acc 5
216679: 3
216750 double+4: add 2 2
)",
     0},
    {"failing commands", "", "debug e.tasm",
     R"(frobnicate
break nowhere
x/q 1
finish
step 0
print acc
)",
     R"(e.tasm at 216679 main (e.tasm:2): lit 3
    2 |   lit 3
error: unknown command 'frobnicate' (try help)
error: no such location: 'nowhere'
error: x/FORM with FORM t, r, n, c, s or p1 .. p8
error: not inside a call
error: step N with N from 1
acc nil
)",
     1},
    {"going back", "", "debug e.tasm",
     R"(keys A
break double
run
finish
reverse-step
reverse-finish
watch slot..slot+3
continue
continue
reverse-continue
reverse-continue
reverse-next
rc
rs
record off
rs
)",
     R"(e.tasm at 216679 main (e.tasm:2): lit 3
    2 |   lit 3
queued 1 keys
breakpoint 1 at 216746 double (e.tasm:16)
breakpoint 1
216746 double (e.tasm:16): push 2
    16 |   push 2
216698 main+19 (e.tasm:5): push 1
    5 |   push 1
216753 double+7 (e.tasm:19): ret
    19 |   ret
breakpoint 1
216746 double (e.tasm:16): push 2
    16 |   push 2
watch 2 on 216754..216757
watch 2: written by 216714 main+35 (e.tasm:11)
216717 main+38 (e.tasm:12): nil
    12 |   sys -320004
halted after 29 instructions: pc 216746 double (e.tasm:16), acc 28, depth 0
watch 2: written by 216714 main+35 (e.tasm:11)
216714 main+35 (e.tasm:11): call 4 5
    11 |   call 4 5
breakpoint 1
216746 double (e.tasm:16): push 2
    16 |   push 2
216695 main+16 (e.tasm:4): call 19 18
    4 |   jsr double, 5
reached the oldest recorded step
216679 main (e.tasm:2): lit 3
    2 |   lit 3
error: nothing is recorded to go back over
not recording; what was recorded is forgotten
error: recording is off (`record on`)
)",
     1},
};

TEST(DebugCommand, ScriptsPrintTheirAnswers) {
  for (const Script& s : kScripts) {
    SCOPED_TRACE(s.name);
    TempFolder folder;
    folder.write("e.tasm", kProgram);
    folder.write("commands.txt", s.commands);
    if (*s.setup != '\0') {
      ASSERT_EQ(quill(folder, s.setup).exit_code, 0);
    }
    const int code = run_command_with_input(folder.path, QUILL_BINARY, s.arguments, "commands.txt");
    EXPECT_EQ(lines_of(folder.read("out.txt")), s.expected);
    EXPECT_EQ(code, s.exit_code) << folder.read("err.txt");
    if (std::string(s.commands).find("screenshot s.png") != std::string::npos) {
      EXPECT_EQ(folder.read("s.png").substr(1, 3), "PNG");
    }
  }
}

TEST(DebugCommand, BadUsage) {
  TempFolder folder;
  folder.write("e.tasm", kProgram);
  for (const char* arguments : {"debug", "debug a b", "debug missing.tern", "debug e.tasm --symbols e.sym",
                                "debug --entry 64000000 e.tasm", "debug --frob e.tasm"}) {
    EXPECT_EQ(quill(folder, arguments).exit_code, 2) << arguments;
  }
}

}  // namespace
}  // namespace quill::test
