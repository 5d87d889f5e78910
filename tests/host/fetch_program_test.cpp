// A ternary program fetching over HTTP through host calls, as the emulator runs it:
// the hook decodes the argument block the way the dispatcher does and hands x over.
#include <gtest/gtest.h>

#include <string>

#include "codec/charset.h"
#include "codec/literal.h"
#include "cpu/step.h"
#include "host/fetch_service.h"
#include "support/program_builder.h"
#include "support/test_http_server.h"
#include "support/test_memory.h"

namespace quill {
namespace {

using test::Behaviour;
using test::TestMemory;

struct Host {
  FetchState fetch;
  Machine* machine = nullptr;
};

int32_t fetch_hook(void* context, int64_t call, int64_t argument, int64_t* result) {
  Host& host = *static_cast<Host*>(context);
  int64_t x = NIL;
  if (argument != NIL &&
      (argument < 0 || !read_cell(host.machine->memory, host.machine->size, static_cast<uint64_t>(argument), x))) {
    return 0;
  }
  return fetch_service(host.fetch, *host.machine, call, x, result);
}

std::string literal(int64_t value) { return test::literal_symbols(value) + " "; }

// Calls service `type` with the argument block at `block` (NIL: none) and pushes the result on stack 2.
std::string host_call(int64_t type, int64_t block) {
  return (block == NIL ? "" : literal(block) + ">1 ") + literal(type) + ">0 =01 >2 ";
}

TEST(FetchProgram, FetchesReadsAndDigestsThroughHostCalls) {
  for (bool secure : {false, true}) {
    test::TestHttpServer server(secure);
    ASSERT_TRUE(server.started());
    server.route("/abc", Behaviour::reply, test::http_reply(200, "abc"));
    const std::string certificate = server.certificate_file();
    const std::string url = server.url("/abc");
    TestMemory memory(10'000);
    Machine m = test::make_machine(memory);
    Host host;
    host.machine = &m;
    if (secure) host.fetch.http.trusted_certificate_file = certificate.c_str();
    m.host_hook = fetch_hook;
    m.host_context = &host;
    for (size_t i = 0; i < url.size(); ++i) {
      ASSERT_TRUE(
          write_cell(memory.data(), memory.size, 1'000 + 10 * i, code_of_character(static_cast<char16_t>(url[i]))));
    }
    const std::pair<uint64_t, int64_t> cells[] = {
        {5'000, 1'000}, {5'010, static_cast<int64_t>(url.size())}, {6'000, 5'000}, {6'010, 0}, {7'000, 31}, {7'010, 0}};
    for (const auto& [at, value] : cells) ASSERT_TRUE(write_cell(memory.data(), memory.size, at, value));
    const std::string program = host_call(-480'001, 6'000) + host_call(-480'003, NIL) + host_call(-480'002, NIL) +
                                host_call(-480'002, NIL) + host_call(-480'002, NIL) + host_call(-480'004, 7'000) + ".";
    ASSERT_TRUE(memory.load(program));
    test::ReleaseAtExit release(m);
    EXPECT_EQ(machine_run(m, 1'000), status_halted);
    const ValueStack& results = m.frames[0].stacks[2];
    ASSERT_EQ(results.count, 6) << secure;
    const int64_t expected[] = {3, 200, 'a', 'b', 'c', 0xad};  // 0xad: the last byte of SHA-256("abc")
    for (int i = 0; i < 6; ++i)
      EXPECT_EQ(results.values[i], expected[i]) << "value " << i << (secure ? " https" : " http");
    fetch_release(host.fetch);
  }
}

}  // namespace
}  // namespace quill
