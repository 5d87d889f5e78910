// The fetch services (the net host calls) against scripted servers on 127.0.0.1:
// descriptor decoding, the body and digest reads, and every failure rule.
#include "host/fetch_service.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "codec/charset.h"
#include "codec/literal.h"
#include "cpu/step.h"
#include "host/host_calls.h"
#include "support/test_http_server.h"
#include "support/test_memory.h"
#include "support/test_process.h"

namespace quill {
namespace {

using test::Behaviour;
using test::http_reply;
using test::TestHttpServer;
using test::TestMemory;

constexpr int64_t kFetch = host_call::net_fetch, kBodyByte = host_call::net_body_byte, kStatus = host_call::net_status,
                  kDigestByte = host_call::net_digest_byte;
constexpr uint64_t kUrlAt = 1'000, kDescriptorAt = 50'000;

const uint8_t kEmptyDigest[4] = {0xe3, 0xb0, 0xc4, 0x42};  // SHA-256 of nothing, first bytes
const uint8_t kAbcDigest[32] = {0xba, 0x78, 0x16, 0xbf, 0x8f, 0x01, 0xcf, 0xea, 0x41, 0x41, 0x40,
                                0xde, 0x5d, 0xae, 0x22, 0x23, 0xb0, 0x03, 0x61, 0xa3, 0x96, 0x17,
                                0x7a, 0x9c, 0xb4, 0x10, 0xff, 0x61, 0xf2, 0x00, 0x15, 0xad};

struct Fixture {
  TestMemory memory{60'000};
  Machine machine = test::make_machine(memory);
  FetchState fetch;

  ~Fixture() { fetch_release(fetch); }

  // Writes `url` as character cells at kUrlAt and its descriptor at kDescriptorAt.
  void put_url(const std::string& url) {
    for (size_t i = 0; i < url.size(); ++i) {
      const int code = code_of_character(static_cast<char16_t>(url[i]));
      ASSERT_NE(code, kNoCharacterCode) << url[i];
      ASSERT_TRUE(write_cell(memory.data(), memory.size, kUrlAt + 10 * i, code));
    }
    put_descriptor(static_cast<int64_t>(kUrlAt), static_cast<int64_t>(url.size()));
  }
  void put_descriptor(int64_t address, int64_t length) {
    ASSERT_TRUE(write_cell(memory.data(), memory.size, kDescriptorAt, address));
    ASSERT_TRUE(write_cell(memory.data(), memory.size, kDescriptorAt + 10, length));
  }

  // The service's result, or "failed" as a distinct marker.
  static constexpr int64_t kFailed = 999'999'999'999;
  int64_t call(int64_t type, int64_t x) {
    int64_t result = NIL;
    const int32_t ok = fetch_service(fetch, machine, type, x, &result);
    return ok ? result : kFailed;
  }
  int64_t fetch_url(const std::string& url) {
    put_url(url);
    return call(kFetch, static_cast<int64_t>(kDescriptorAt));
  }
};

TEST(FetchService, StartsWithStatusZeroAndNothingToRead) {
  Fixture f;
  EXPECT_EQ(f.call(kStatus, NIL), 0);
  EXPECT_EQ(f.call(kBodyByte, NIL), Fixture::kFailed);
  EXPECT_EQ(f.call(kBodyByte, 0), Fixture::kFailed);
  EXPECT_EQ(f.call(kDigestByte, 0), Fixture::kFailed);
  EXPECT_EQ(f.call(-480'005, NIL), Fixture::kFailed);
}

TEST(FetchService, StoresBodiesUpToTheLimitWithTheirDigest) {
  TestHttpServer server;
  ASSERT_TRUE(server.started());
  server.route("/empty", Behaviour::reply, http_reply(200, ""));
  server.route("/abc", Behaviour::reply, http_reply(200, "abc"));
  server.route("/full", Behaviour::reply, http_reply(200, std::string(65'535, 'x') + "z"));
  server.route("/over", Behaviour::reply, http_reply(200, std::string(65'537, 'x')));
  Fixture f;
  EXPECT_EQ(f.fetch_url(server.url("/empty")), 0);
  EXPECT_EQ(f.call(kStatus, NIL), 200);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(f.call(kDigestByte, i), kEmptyDigest[i]);
  EXPECT_EQ(f.call(kBodyByte, NIL), Fixture::kFailed);

  EXPECT_EQ(f.fetch_url(server.url("/abc")), 3);
  for (int i = 0; i < 32; ++i) EXPECT_EQ(f.call(kDigestByte, i), kAbcDigest[i]) << i;

  EXPECT_EQ(f.fetch_url(server.url("/full")), 65'536);
  EXPECT_EQ(f.call(kBodyByte, 65'535), 'z');
  EXPECT_EQ(f.call(kBodyByte, NIL), Fixture::kFailed);

  EXPECT_EQ(f.fetch_url(server.url("/over")), NIL);
  EXPECT_EQ(f.call(kStatus, NIL), 1);
  EXPECT_EQ(f.call(kBodyByte, 0), Fixture::kFailed);
  EXPECT_EQ(f.call(kDigestByte, 0), Fixture::kFailed);
  EXPECT_EQ(f.fetch.body, nullptr);
}

TEST(FetchService, ReadsTheBodyInTurnOrByIndex) {
  TestHttpServer server;
  ASSERT_TRUE(server.started());
  server.route("/abc", Behaviour::reply, http_reply(200, "abc"));
  Fixture f;
  ASSERT_EQ(f.fetch_url(server.url("/abc")), 3);
  EXPECT_EQ(f.call(kBodyByte, NIL), 'a');
  EXPECT_EQ(f.call(kBodyByte, NIL), 'b');
  EXPECT_EQ(f.call(kBodyByte, NIL), 'c');
  EXPECT_EQ(f.call(kBodyByte, NIL), Fixture::kFailed);
  EXPECT_EQ(f.call(kBodyByte, 1), 'b');
  EXPECT_EQ(f.call(kBodyByte, NIL), 'c');
  // Failed reads leave the position alone.
  EXPECT_EQ(f.call(kBodyByte, 0), 'a');
  EXPECT_EQ(f.call(kBodyByte, 3), Fixture::kFailed);
  EXPECT_EQ(f.call(kBodyByte, -1), Fixture::kFailed);
  EXPECT_EQ(f.call(kBodyByte, NIL), 'b');
  // Digest indexes are tested unsigned: negatives and NIL fail like 32.
  EXPECT_EQ(f.call(kDigestByte, 31), kAbcDigest[31]);
  for (int64_t x : {int64_t{32}, int64_t{-1}, NIL}) EXPECT_EQ(f.call(kDigestByte, x), Fixture::kFailed) << x;
}

TEST(FetchService, AFailedFetchKeepsItsStatusAndDropsTheOldBody) {
  TestHttpServer server;
  ASSERT_TRUE(server.started());
  server.route("/abc", Behaviour::reply, http_reply(200, "abc"));
  server.route("/gone", Behaviour::reply, http_reply(404, "not here"));
  server.route("/go", Behaviour::reply, http_reply(302, "", "Location: /abc\r\n"));
  server.route("/stall", Behaviour::stall);
  Fixture f;
  ASSERT_EQ(f.fetch_url(server.url("/abc")), 3);
  EXPECT_EQ(f.fetch_url(server.url("/gone")), NIL);
  EXPECT_EQ(f.call(kStatus, NIL), 404);
  EXPECT_EQ(f.call(kBodyByte, 0), Fixture::kFailed);
  for (int i = 0; i < 32; ++i) EXPECT_EQ(f.call(kDigestByte, i), Fixture::kFailed) << i;

  EXPECT_EQ(f.fetch_url(server.url("/go")), 3);
  EXPECT_EQ(f.fetch_url("ftp://127.0.0.1/abc"), NIL);
  EXPECT_EQ(f.call(kStatus, NIL), 12006);
  EXPECT_EQ(f.fetch_url("http://127.0.0.1:" + std::to_string(test::closed_port()) + "/"), NIL);
  EXPECT_EQ(f.call(kStatus, NIL), 12029);

  f.fetch.http.receive_ms = 300;
  EXPECT_EQ(f.fetch_url(server.url("/stall")), NIL);
  EXPECT_EQ(f.call(kStatus, NIL), 12002);
}

// A status beyond HTTP's is the protocol error; a fetch while the emulator closes
// gives up with the time-out number and sends nothing.
TEST(FetchService, AnOddStatusOrAQuitEndsInItsNumber) {
  TestHttpServer server;
  ASSERT_TRUE(server.started());
  server.route("/abc", Behaviour::reply, http_reply(200, "abc"));
  server.route("/odd", Behaviour::reply, http_reply(600, "odd"));
  Fixture f;
  std::atomic<int32_t> quit{0};
  f.fetch.abort = &quit;
  ASSERT_EQ(f.fetch_url(server.url("/abc")), 3);
  EXPECT_EQ(f.fetch_url(server.url("/odd")), NIL);
  EXPECT_EQ(f.call(kStatus, NIL), 12152);
  EXPECT_EQ(f.call(kBodyByte, 0), Fixture::kFailed);
  quit.store(1);
  EXPECT_EQ(f.fetch_url(server.url("/abc")), NIL);
  EXPECT_EQ(f.call(kStatus, NIL), 12002);
  EXPECT_EQ(server.request_count(), 2);
}

TEST(FetchService, FetchesOverHttpsWithATrustedCertificateOnly) {
  TestHttpServer server(true);
  ASSERT_TRUE(server.started());
  server.route("/abc", Behaviour::reply, http_reply(200, "abc"));
  Fixture f;
  EXPECT_EQ(f.fetch_url(server.url("/abc")), NIL);  // the system store does not know it
  // Wine names this failure ERROR_WINHTTP_SECURE_CHANNEL_ERROR.
  EXPECT_EQ(f.call(kStatus, NIL), test::running_under_wine() ? 12157 : 12175);
  const std::string certificate = server.certificate_file();
  f.fetch.http.trusted_certificate_file = certificate.c_str();
  EXPECT_EQ(f.fetch_url(server.url("/abc")), 3);
  EXPECT_EQ(f.call(kDigestByte, 0), kAbcDigest[0]);
}

TEST(FetchService, AMalformedDescriptorOrUrlChangesNothing) {
  TestHttpServer server;
  ASSERT_TRUE(server.started());
  server.route("/abc", Behaviour::reply, http_reply(200, "abc"));
  Fixture f;
  ASSERT_EQ(f.fetch_url(server.url("/abc")), 3);
  ASSERT_EQ(f.call(kBodyByte, NIL), 'a');
  const int64_t size = static_cast<int64_t>(f.memory.size);
  const int64_t url_length = static_cast<int64_t>(server.url("/abc").size());
  ASSERT_TRUE(write_cell(f.memory.data(), f.memory.size, f.memory.size - 19, 1'000));  // its length cannot follow
  struct Case {
    const char* what;
    int64_t x, address, length;
  } cases[] = {
      {"no argument", NIL, 1'000, url_length},
      {"negative descriptor", -1, 1'000, url_length},
      {"descriptor past the end", size - 19, 1'000, url_length},
      {"length 0", 50'000, 1'000, 0},
      {"length 2,049", 50'000, 1'000, 2'049},
      {"negative URL address", 50'000, -1, url_length},
      {"NIL URL address", 50'000, NIL, url_length},
      {"URL past the end", 50'000, size - 10 * url_length + 1, url_length},
  };
  for (const Case& c : cases) {
    f.put_descriptor(c.address, c.length);
    EXPECT_EQ(f.call(kFetch, c.x), Fixture::kFailed) << c.what;
  }
  f.put_url(server.url("/abc"));
  for (int64_t bad : {int64_t{94}, int64_t{-1}, NIL}) {
    ASSERT_TRUE(write_cell(f.memory.data(), f.memory.size, kUrlAt + 30, bad));
    EXPECT_EQ(f.call(kFetch, static_cast<int64_t>(kDescriptorAt)), Fixture::kFailed) << bad;
  }
  ASSERT_TRUE(f.memory.load("8", kUrlAt + 30));  // a literal, but not a cell
  EXPECT_EQ(f.call(kFetch, static_cast<int64_t>(kDescriptorAt)), Fixture::kFailed);
  EXPECT_EQ(server.request_count(), 1);
  EXPECT_EQ(f.call(kStatus, NIL), 200);
  EXPECT_EQ(f.call(kBodyByte, NIL), 'b');
  EXPECT_EQ(f.call(kDigestByte, 0), kAbcDigest[0]);
}

TEST(FetchService, TakesUrlsOfUpTo2048Characters) {
  TestHttpServer server;
  ASSERT_TRUE(server.started());
  const std::string stem = server.url("/");
  std::string path(2'048 - stem.size() + 1, 'p');  // with the stem's final "/", 2,048 characters
  path[0] = '/';
  server.route(path, Behaviour::reply, http_reply(200, "long"));
  Fixture f;
  EXPECT_EQ(f.fetch_url(stem + path.substr(1)), 4);
  ASSERT_TRUE(write_cell(f.memory.data(), f.memory.size, kUrlAt + 10 * 2'048, code_of_character(u'p')));
  f.put_descriptor(static_cast<int64_t>(kUrlAt), 2'049);
  EXPECT_EQ(f.call(kFetch, static_cast<int64_t>(kDescriptorAt)), Fixture::kFailed);
  EXPECT_EQ(server.request_count(), 1);
  EXPECT_EQ(f.call(kBodyByte, 3), 'g');
}

}  // namespace
}  // namespace quill
