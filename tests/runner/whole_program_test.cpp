// One program that calls every host service but the network, run headless on
// the runner thread, with a key typed while it waits and two auxiliary cores.
#include <gtest/gtest.h>

#include <vector>

#include "host/host_calls.h"
#include "host/keyboard.h"
#include "platform/clock.h"
#include "runner/headless.h"
#include "support/program_builder.h"

namespace quill {
namespace {

using test::kept_result;
using test::ProgramBuilder;

constexpr uint64_t kSize = 20'000;
constexpr uint64_t kCoreProgram = 18'000;  // "15 >0 +00 .": halts with 10
constexpr uint64_t kCoreLoop = 18'100;     // runs until stopped

constexpr int64_t kCheckedApart = INT64_MAX;

struct Expected {
  std::vector<int64_t> results;
  void add(int64_t value) { results.push_back(value); }
};

void system_part(ProgramBuilder& p, Expected& e) {
  p.call_and_keep(host_call::sys_present), e.add(1);
  p.call_and_keep(host_call::sys_memory_size), e.add(kSize);
  p.call_and_keep(host_call::sys_write_cell, 15'000, -1), e.add(15'010);
  p.call_and_keep(host_call::sys_read_cell, 15'000), e.add(-1);
  p.call_and_keep(host_call::sys_write_packed, 15'010, 27), e.add(15'011);
  p.call_and_keep(host_call::sys_read_tryte, 15'010), e.add(26);
  p.call_and_keep(host_call::sys_set_cursor, 15'000), e.add(15'000);
  p.call_and_keep(host_call::sys_cursor_tryte), e.add(25);  // "J"
  p.call_and_keep(host_call::sys_set_cursor, 15'000), e.add(15'000);
  p.call_and_keep(host_call::sys_cursor_cell), e.add(-1);
  p.call_and_keep(host_call::sys_get_speed), e.add(0);
  p.call_and_keep(host_call::sys_set_speed, 1'000'000), e.add(1'000'000);
  p.call_and_keep(host_call::sys_elapsed_ms), e.add(kCheckedApart);  // elapsed ms before the sleep
  p.call_and_keep(host_call::sys_sleep, 50'000), e.add(50'000);      // 50 ms
  p.call_and_keep(host_call::sys_elapsed_ms), e.add(kCheckedApart);  // and after it
  p.call_and_keep(host_call::sys_set_speed, 0), e.add(0);
  p.call_and_keep(host_call::sys_executed), e.add(kCheckedApart);  // the executed count
}

void framebuffer_part(ProgramBuilder& p, Expected& e) {
  p.call_and_keep(host_call::fb_width), e.add(500);
  p.call_and_keep(host_call::fb_height), e.add(320);
  p.call_and_keep(host_call::fb_clear, 0), e.add(160'000);
  p.call_and_keep(host_call::fb_set_color1, 2072), e.add(2072);
  p.call_and_keep(host_call::fb_set_pixel, 0, 1), e.add(0);
  p.call_and_keep(host_call::fb_pixel_lit, 0), e.add(1);
  p.call_and_keep(host_call::fb_pixel_code, 0), e.add(2072);
  p.call_and_keep(host_call::fb_set_color0, 3600), e.add(3600);
  p.call_and_keep(host_call::fb_get_color1), e.add(2072);
  p.call_and_keep(host_call::fb_get_color0), e.add(3600);
  p.call_and_keep(host_call::fb_hold), e.add(1);
  p.call_and_keep(host_call::fb_fill_run, 500, 10), e.add(510);
  p.call_and_keep(host_call::fb_bit_pattern, 1'000, 13), e.add(1'003);
  p.call_and_keep(host_call::fb_invert_run, 1'500, 2), e.add(1'502);
  p.call_and_keep(host_call::fb_recolor_pixel, 2'000, 3600), e.add(2'000);
  p.call_and_keep(host_call::fb_set_cursor, 159'000), e.add(159'000);
  p.call_and_keep(host_call::fb_cursor_run, 10), e.add(159'010);
  p.call_and_keep(host_call::fb_scroll_up, 0, 0), e.add(0);
  p.call_and_keep(host_call::fb_release), e.add(0);
}

void keyboard_part(ProgramBuilder& p, Expected& e) {
  p.call_and_keep(host_call::kbd_present), e.add(1);
  p.call_and_keep(host_call::kbd_wait), e.add(0);  // the test types "a" (60) while this waits
  p.call_and_keep(host_call::kbd_count), e.add(1);
  p.call_and_keep(host_call::kbd_take), e.add(60);
  p.call_and_keep(host_call::kbd_take), e.add(NIL);
}

void cores_part(ProgramBuilder& p, Expected& e) {
  const int64_t halting = static_cast<int64_t>(p.cell(kCoreProgram));
  (void)p.cell(11), (void)p.cell(7), (void)p.cell(NIL);
  const int64_t looping = static_cast<int64_t>(p.cell(kCoreLoop));
  (void)p.cell(9), (void)p.cell(0), (void)p.cell(kValueMax);
  p.call_and_keep(host_call::core_count), e.add(3);
  p.call_and_keep(host_call::core_start, halting), e.add(0);
  p.repeat_while_below(host_call::core_state, 0, NIL, core_finished);
  p.call_and_keep(host_call::core_state, 0), e.add(core_finished);
  p.call_and_keep(host_call::core_result, 0), e.add(10);
  p.call_and_keep(host_call::core_executed, 0), e.add(4);
  p.call_and_keep(host_call::core_start, looping, 1), e.add(1);
  p.call_and_keep(host_call::core_stop, 1), e.add(0);
  p.repeat_while_below(host_call::core_state, 1, NIL, core_finished);
  p.call_and_keep(host_call::core_state, 1), e.add(core_failed);
  p.call_and_keep(host_call::core_stop, NIL), e.add(0);
}

TEST(WholeProgram, EveryHostServiceRunsHeadless) {
  ProgramBuilder program(0, 10'000);
  Expected expected;
  system_part(program, expected);
  framebuffer_part(program, expected);
  keyboard_part(program, expected);
  cores_part(program, expected);
  program.call(host_call::sys_halt);
  program.emit("B4 >1 ~0001");  // never reached: the halt request ends the run first

  HeadlessHost host;
  ASSERT_TRUE(headless_create(host, kSize));
  ASSERT_TRUE(program.store(host.memory, host.size));
  const std::string core_code = "15 >0 +00 .";
  const std::string loop_code = "B4 >1 ~0001";
  ASSERT_TRUE(headless_load_program(host, core_code.data(), core_code.size(), kCoreProgram));
  ASSERT_TRUE(headless_load_program(host, loop_code.data(), loop_code.size(), kCoreLoop));
  ASSERT_TRUE(headless_start(host, HeadlessOptions{0, 0, 0}));

  const uint64_t deadline = clock_now_ns() + 30'000'000'000;
  while (!waiting_for_key(host.processor->host) && clock_now_ns() < deadline) sleep_ms(1);
  EXPECT_TRUE(headless_push_key(host, 60));
  ASSERT_TRUE(headless_wait_end(host, 30'000));
  headless_join(host);

  const Machine& m = headless_machine(host);
  EXPECT_EQ(m.status, status_halted);
  EXPECT_TRUE(host.processor->host.halt_request);
  ASSERT_EQ(program.kept, static_cast<int>(expected.results.size()));
  for (int i = 0; i < program.kept; ++i) {
    if (expected.results[i] != kCheckedApart) {
      EXPECT_EQ(kept_result(m, i), expected.results[i]) << "result " << i;
    }
  }
  EXPECT_GE(kept_result(m, 14) - kept_result(m, 12), 49);  // the sleep lasted 50 ms
  EXPECT_GT(kept_result(m, 16), 40);
  EXPECT_LT(kept_result(m, 16), 200);

  std::vector<uint32_t> picture(kPixelCount);
  EXPECT_GT(headless_copy_framebuffer(host, picture.data()), 0u);
  const uint32_t lilac = color_rgb(TernaryColor{5, 3, -2});
  const uint32_t white = 0xFFFFFF;
  EXPECT_EQ(picture[0], lilac);
  EXPECT_EQ(picture[1], 0u);
  EXPECT_EQ(picture[500], white);
  EXPECT_EQ(picture[509], white);
  EXPECT_EQ(picture[510], 0u);
  EXPECT_EQ(picture[1'000], lilac);
  EXPECT_EQ(picture[1'001], white);
  EXPECT_EQ(picture[1'002], lilac);
  EXPECT_EQ(picture[1'501], white);
  EXPECT_EQ(picture[2'000], white);
  EXPECT_EQ(picture[159'009], white);
  EXPECT_EQ(picture[159'010], 0u);
  headless_destroy(host);
}

}  // namespace
}  // namespace quill
