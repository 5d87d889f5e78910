// Splitting URLs the way the Windows HTTP client's URL cracker does.
#include <gtest/gtest.h>

#include <string>

#include "platform/http.h"

namespace quill {
namespace {

struct Parts {
  uint32_t error = 0;
  uint16_t port = 0;
  std::string text;  // "http host path extra" with "|" between the parts
};

Parts parse(const std::u16string& url) {
  HttpUrl out;
  Parts parts;
  parts.error = http_parse_url(url.c_str(), out);
  if (parts.error == 0) {
    auto narrow = [](const char16_t* from, size_t length) { return std::string(from, from + length); };
    parts.port = out.port;
    parts.text = std::string(out.secure ? "https" : "http") + "|" + narrow(out.host, out.host_length) + "|" +
                 narrow(out.path, out.path_length) + "|" + narrow(out.extra, out.extra_length);
  }
  return parts;
}

TEST(HttpUrl, SplitsSchemeHostPortPathAndQuery) {
  struct Case {
    const char16_t* url;
    uint16_t port;
    const char* text;
  } cases[] = {
      {u"http://example.org/a/b?x=1&y", 80, "http|example.org|/a/b|?x=1&y"},
      {u"HTTPS://Example.org:8443", 8443, "https|Example.org||"},
      {u"https://example.org", 443, "https|example.org||"},
      {u"https://user:pw@[::1]:99?q", 99, "https|[::1]||?q"},
      {u"http://h:/x", 80, "http|h|/x|"},  // an empty port is the default
      {u"http://h/a#f?g", 80, "http|h|/a|#f?g"},
  };
  for (const Case& c : cases) {
    const Parts p = parse(c.url);
    EXPECT_EQ(p.error, 0u) << c.text;
    EXPECT_EQ(p.port, c.port) << c.text;
    EXPECT_EQ(p.text, c.text);
  }
}

TEST(HttpUrl, RejectsOtherSchemesAndMalformedUrls) {
  for (const char16_t* url :
       {u"ftp://example.org/", u"example.org/index.html", u"", u"file:///etc/passwd", u"httpx://h/"}) {
    EXPECT_EQ(parse(url).error, http_error_unrecognized_scheme)
        << std::string(url, url + std::char_traits<char16_t>::length(url));
  }
  for (const char16_t* url : {u"http:/h/", u"http:h", u"http:///path", u"http://h:0/", u"http://h:65536/",
                              u"http://h:8x/", u"http://[::1/", u"http://[::1]x/"}) {
    EXPECT_EQ(parse(url).error, http_error_invalid_url)
        << std::string(url, url + std::char_traits<char16_t>::length(url));
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
