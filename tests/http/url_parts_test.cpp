#include "http/url_parts.h"

#include <gtest/gtest.h>

namespace {

struct UrlCase {
  const char* url;
  const char* host;
  const char* hostWithPort;       // keepPort
  const char* lastTwo;            // lastTwoLabels
  const char* lastTwoWithPort;    // both options
  int port;
  const char* path;
};

const UrlCase kCases[] = {
    {"HTTPS://A.B.C/", "a.b.c", "a.b.c", "b.c", "b.c", 443, "/"},
    {"a.b.c/d/E?x=1", "a.b.c", "a.b.c", "b.c", "b.c", 80, "/d/E?x=1"},
    {"http://host:81/x", "host", "host:81", "host", "host:81", 81, "/x"},
    {"https://a.b.c.d:444/p", "a.b.c.d", "a.b.c.d:444", "c.d", "c.d:444", 444, "/p"},
    {"http://host:/", "host", "host:", "host", "host:", 0, "/"},
    // The host ends only at the first "/".
    {"http://host?q=1", "host?q=1", "host?q=1", "host?q=1", "host?q=1", 80, "/"},
    // A user name is not recognised: cut at the first colon, port after the last.
    {"http://user:pw@host:8080/a", "user", "user:pw@host:8080", "user", "user:pw@host:8080", 8080, "/a"},
    {"http://user:pw@host/a", "user", "user:pw@host", "user", "user:pw@host", 0, "/a"},
    // The host also occurs in the scheme: the path starts after that.
    {"http://h/x", "h", "h", "h", "h", 80, "//h/x"},
    {"", "", "", "", "", 80, "/"},
    {"http://Mixed.Case.COM/Path/File?Q=A", "mixed.case.com", "mixed.case.com", "case.com", "case.com", 80,
     "/Path/File?Q=A"},
};

class UrlPartsTest : public testing::TestWithParam<UrlCase> {};

TEST_P(UrlPartsTest, SplitsIntoHostPortAndPath) {
  const UrlCase& c = GetParam();
  EXPECT_EQ(UrlHost(c.url), c.host);
  EXPECT_EQ(UrlHost(c.url, false, true), c.hostWithPort);
  EXPECT_EQ(UrlHost(c.url, true, false), c.lastTwo);
  EXPECT_EQ(UrlHost(c.url, true, true), c.lastTwoWithPort);
  EXPECT_EQ(UrlPort(c.url), c.port);
  EXPECT_EQ(UrlPath(c.url), c.path);
}

INSTANTIATE_TEST_SUITE_P(Urls, UrlPartsTest, testing::ValuesIn(kCases));

}  // namespace
