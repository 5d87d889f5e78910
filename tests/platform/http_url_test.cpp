// Splitting URLs the way the Windows HTTP client's URL cracker does.
#include <gtest/gtest.h>

#include <string>

#include "platform/http.h"

namespace quill {
namespace {

struct Parts {
  uint32_t error = 0;
  bool secure = false;
  uint16_t port = 0;
  std::u16string host, path, extra;
};

Parts parse(const std::u16string& url) {
  HttpUrl out;
  Parts parts;
  parts.error = http_parse_url(url.c_str(), out);
  if (parts.error == 0) {
    parts.secure = out.secure;
    parts.port = out.port;
    parts.host.assign(out.host, out.host_length);
    parts.path.assign(out.path, out.path_length);
    parts.extra.assign(out.extra, out.extra_length);
  }
  return parts;
}

TEST(HttpUrl, SplitsSchemeHostPortPathAndQuery) {
  Parts p = parse(u"http://example.org/a/b?x=1&y");
  EXPECT_EQ(p.error, 0u);
  EXPECT_FALSE(p.secure);
  EXPECT_EQ(p.port, 80);
  EXPECT_EQ(p.host, u"example.org");
  EXPECT_EQ(p.path, u"/a/b");
  EXPECT_EQ(p.extra, u"?x=1&y");

  p = parse(u"HTTPS://Example.org:8443");
  EXPECT_EQ(p.error, 0u);
  EXPECT_TRUE(p.secure);
  EXPECT_EQ(p.port, 8443);
  EXPECT_EQ(p.host, u"Example.org");
  EXPECT_EQ(p.path, u"");
  EXPECT_EQ(p.extra, u"");

  p = parse(u"https://user:pw@[::1]:99?q");
  EXPECT_EQ(p.error, 0u);
  EXPECT_EQ(p.host, u"[::1]");
  EXPECT_EQ(p.port, 99);
  EXPECT_EQ(p.path, u"");
  EXPECT_EQ(p.extra, u"?q");

  EXPECT_EQ(parse(u"http://h:/x").port, 80);  // an empty port is the default
}

TEST(HttpUrl, RejectsOtherSchemesAndMalformedUrls) {
  for (const char16_t* url : {u"ftp://example.org/", u"example.org/index.html", u"", u"file:///etc/passwd",
                              u"httpx://h/"}) {
    EXPECT_EQ(parse(url).error, http_error_unrecognized_scheme) << std::string(url, url + std::char_traits<char16_t>::length(url));
  }
  for (const char16_t* url : {u"http:/h/", u"http:h", u"http:///path", u"http://h:0/", u"http://h:65536/",
                              u"http://h:8x/", u"http://[::1/", u"http://[::1]x/"}) {
    EXPECT_EQ(parse(url).error, http_error_invalid_url) << std::string(url, url + std::char_traits<char16_t>::length(url));
  }
  EXPECT_EQ(parse(u"http://h:65535/").port, 65535);
}

TEST(HttpUrl, LimitsHostAndRequestTargetLengths) {
  const std::u16string host(kHttpMaxHostLength, u'h');
  EXPECT_EQ(parse(u"http://" + host + u"/").error, 0u);
  EXPECT_EQ(parse(u"http://" + host + u"h/").error, http_error_other);
  const std::u16string path = u"/" + std::u16string(kHttpMaxTargetLength - 3, u'p');
  EXPECT_EQ(parse(u"http://h" + path + u"?q").error, 0u);
  EXPECT_EQ(parse(u"http://h" + path + u"?qq").error, http_error_other);
}

}  // namespace
}  // namespace quill
