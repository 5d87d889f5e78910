// The dispatcher: argument blocks and routing by number.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "codec/literal.h"
#include "support/doc_table.h"
#include "support/host_harness.h"

namespace quill {
namespace {

using test::HostHarness;
using test::kFailed;
using test::Ok;

// Every number near a documented call that the documentation does not list fails,
// and so do numbers that are not host calls at all.
TEST(Dispatch, NumbersTheDocumentationDoesNotListFail) {
  HostHarness h;
  ASSERT_TRUE(h.ok);
  std::set<int64_t> documented;
  for (const auto& row : test::doc_table_rows("host-calls.md", "")) {
    if (row.size() == 5 && row[0].size() > 1 && row[0][0] == '-' && row[1][0] == '`')
      documented.insert(std::stoll(row[0]));
  }
  ASSERT_GE(documented.size(), 40u);
  for (const int64_t number : documented) {
    for (int64_t type = number - 30; type <= number + 30; ++type) {
      if (documented.count(type) == 0) {
        EXPECT_EQ(h.call(type), kFailed) << type;
      }
    }
  }
  for (int64_t type : {int64_t{0}, int64_t{1}, kValueMax, NIL, int64_t{-512'000'000'000}, int64_t{-512'000'000'001}}) {
    EXPECT_EQ(h.call(type), kFailed) << type;
  }
  EXPECT_EQ(h.call(host_call::sys_present), Ok(1));
  EXPECT_EQ(h.call(host_call::core_count), Ok(3));
  EXPECT_EQ(h.call(host_call::fb_width), Ok(500));
  EXPECT_EQ(h.call(host_call::kbd_present), Ok(1));
  EXPECT_EQ(h.call(host_call::net_status), Ok(0));            // the fetch status before any fetch
  EXPECT_EQ(h.call(host_call::net_digest_byte, 0), kFailed);  // no digest yet
}

TEST(Dispatch, RoutesEveryCatalogueCallToItsGroup) {
  for (const HostCallInfo& call : kHostCalls) {
    const HostRoute* route = host_route(call.number);
    ASSERT_NE(route, nullptr) << call.name;
    EXPECT_EQ(route->group, call.group) << call.name;
  }
}

TEST(Dispatch, NumbersJustOutsideEachGroupFail) {
  HostHarness h;
  ASSERT_TRUE(h.ok);
  for (const HostGroupInfo& group : kHostGroups) {
    for (const int64_t type : {host_group_first(group.group) + 1, host_group_last(group.group) - 1}) {
      EXPECT_EQ(host_route(type), nullptr) << group.prefix << " " << type;
      EXPECT_EQ(h.call(type), kFailed) << group.prefix << " " << type;
    }
  }
}

TEST(Dispatch, NullStateOrResultFails) {
  HostHarness h;
  int64_t result = 5;
  EXPECT_EQ(host_dispatch(nullptr, host_call::sys_present, NIL, &result), 0);
  EXPECT_EQ(host_dispatch(&h.host(), host_call::sys_present, NIL, nullptr), 0);
  EXPECT_EQ(result, 5);
}

TEST(ArgumentBlock, DecodesTwoCellsAndRefusesShortLiterals) {
  HostHarness h(1'000);
  ASSERT_TRUE(h.memory.load("9000000007 J000000012", 100));
  int64_t x = 0, y = 0;
  ASSERT_TRUE(decode_host_arguments(h.machine(), 100, x, y));
  EXPECT_EQ(x, 7);
  EXPECT_EQ(y, -22);
  ASSERT_TRUE(h.memory.load("J000000000", 100));  // a negative cell of magnitude 0 is NIL
  ASSERT_TRUE(decode_host_arguments(h.machine(), 100, x, y));
  EXPECT_EQ(x, NIL);
  // "8" starts a valid eight-digit literal, but not a cell.
  ASSERT_TRUE(h.memory.load("80000000 0 9000000001 ", 200));
  EXPECT_EQ(h.raw(host_call::sys_present, 200), kFailed);
  ASSERT_TRUE(h.memory.load("9000000009 90000000<0", 300));  // a digit that is not a digit symbol
  EXPECT_EQ(h.raw(host_call::sys_present, 300), kFailed);
  EXPECT_EQ(h.raw(host_call::sys_present, -1), kFailed);
  EXPECT_EQ(h.raw(host_call::sys_present, NIL), Ok(1));
}

TEST(ArgumentBlock, MayEndExactlyAtTheEndOfMemory) {
  HostHarness h(1'000);
  ASSERT_TRUE(h.memory.load("9000000003 9000000004", 980));
  EXPECT_EQ(h.raw(host_call::sys_present, 980), Ok(1));
  ASSERT_TRUE(h.memory.load("9000000003 900000000", 981));
  EXPECT_EQ(h.raw(host_call::sys_present, 981), kFailed);  // the second cell would need one tryte past the end
  EXPECT_EQ(h.raw(host_call::sys_present, 990), kFailed);
  EXPECT_EQ(h.raw(host_call::sys_present, 1'000), kFailed);
  EXPECT_EQ(h.raw(host_call::sys_present, kValueMax), kFailed);
}

TEST(ArgumentBlock, AnInvalidTryteFailsTheCall) {
  HostHarness h(1'000);
  ASSERT_TRUE(h.memory.load("9000000003 9000000004", 100));
  h.memory.bytes[3 * 105 + 1] = 'x';
  EXPECT_EQ(h.raw(host_call::sys_present, 100), kFailed);
}

}  // namespace
}  // namespace quill
