#include "http/fetch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "encoding/response_decode.h"
#include "http/fetch_testing.h"
#include "loopback_server.h"
#include "platform/wininet.h"
#include "platform/wininet_testing.h"
#include "text/byte_set.h"

// Texts and the test's own strings compare by their bytes.
static bool operator==(const Text& a, const std::string& b) { return TextView(a) == TextView(b); }

namespace {

std::string AsString(const ByteSet& bytes) { return std::string(bytes.begin(), bytes.end()); }

std::string Response(const std::string& head, const std::string& body) {
  return head + "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

ServerReply Ok(const std::string& body, const std::string& extraHeaders = "") {
  return {Response("HTTP/1.1 200 OK\r\n" + extraHeaders, body)};
}

const char kDefaultLines[] =
    "Accept: */*\r\nAccept-Language: zh-cn\r\nContent-Type: application/x-www-form-urlencoded";

TEST(FetchPageTest, SearchRunRequestOnTheWire) {
  LoopbackServer server([](const std::string&) { return Ok("page"); });
  const Text url = server.Url("/?q=%E4%B8%AD&page=2&by=prev").c_str();
  Text headers;
  const ByteSet body = FetchPage(url, 0, {}, nullptr, nullptr, &headers);

  EXPECT_EQ(AsString(body), "page");
  EXPECT_EQ(headers, "Referer: " + url + "\r\n" + kDefaultLines);
  ASSERT_EQ(server.Requests().size(), 1u);
  const std::string request = server.Requests()[0];
  EXPECT_EQ(request.substr(0, request.find("\r\n")), "GET /?q=%E4%B8%AD&page=2&by=prev HTTP/1.1");
  const std::vector<std::string> lines = RequestHeaderLines(request);
  std::vector<std::string> ours;
  for (const std::string& line : lines) {
    if (line.rfind("Host:", 0) != 0 && line.rfind("User-Agent:", 0) != 0) ours.push_back(line);
  }
  const std::vector<std::string> expected = {"Referer: " + std::string(url), "Accept: */*",
                                             "Accept-Language: zh-cn",
                                             "Content-Type: application/x-www-form-urlencoded"};
  EXPECT_EQ(ours, expected);
  EXPECT_NE(request.find("\r\nUser-Agent: " + std::string(kDefaultUserAgent) + "\r\n"), std::string::npos);
  EXPECT_NE(request.find("\r\nHost: 127.0.0.1:" + std::to_string(server.port()) + "\r\n"), std::string::npos);
  EXPECT_EQ(RequestBody(request), "");
}

struct HeaderCase {
  const char* given;
  const char* agent;        // expected on the wire
  const char* headersAfter; // the caller's variable afterwards, "" for the url's Referer form
};

TEST(FetchPageTest, CallerHeadersAgentAndDefaults) {
  const HeaderCase cases[] = {
      {"user-agent: X\r\nAccept: text/html", "X",
       "user-agent: X\r\nAccept: text/html\r\nReferer: URL\r\nAccept-Language: zh-cn\r\n"
       "Content-Type: application/x-www-form-urlencoded"},
      {"User-Agent: Only", "Only",
       "User-Agent: Only\r\nReferer: URL\r\nAccept: */*\r\nAccept-Language: zh-cn\r\n"
       "Content-Type: application/x-www-form-urlencoded"},
      // The Referer test heeds letter case: a second, proper line is added.
      {"referer: x", kDefaultUserAgent.data(),
       "referer: x\r\nReferer: URL\r\nAccept: */*\r\nAccept-Language: zh-cn\r\n"
       "Content-Type: application/x-www-form-urlencoded"},
  };
  for (const HeaderCase& c : cases) {
    SCOPED_TRACE(c.given);
    LoopbackServer server([](const std::string&) { return Ok(""); });
    const Text url = server.Url("/h").c_str();
    Text headers = c.given;
    FetchPage(url, 0, {}, nullptr, nullptr, &headers);
    std::string after = c.headersAfter;
    after.replace(after.find("URL"), 3, url);
    EXPECT_EQ(std::string(headers), after);
    const std::string request = server.Requests().at(0);
    std::string lower = request;
    for (char& ch : lower) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    std::string agentLine = "\r\nuser-agent: " + std::string(c.agent) + "\r\n";
    for (char& ch : agentLine) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    EXPECT_NE(lower.find(agentLine), std::string::npos) << request;
    EXPECT_EQ(lower.find("user-agent:"), lower.rfind("user-agent:"));
    // Every line the caller's variable holds went out as a line of its own.
    for (const std::string& line : RequestHeaderLines(request)) {
      if (line.rfind("Host:", 0) == 0 || line.rfind("User-Agent:", 0) == 0) continue;
      EXPECT_NE(std::string(headers).find(line), std::string::npos) << line;
    }
  }
}

TEST(FetchPageTest, RequestBodies) {
  struct BodyCase {
    int method;
    const char* postText;
    const char* postBytesIn;
    const char* verb;
    const char* sent;
  };
  const BodyCase cases[] = {
      {1, "a=1", "", "POST", "a=1"},
      {1, "a=1", "z=9", "POST", "z=9"},  // postBytes wins over postText
      {2, "g=1", "", "GET", "g=1"},      // any other non-zero method is a GET with a body
      {1, "", "", "POST", ""},
  };
  for (const BodyCase& c : cases) {
    SCOPED_TRACE(c.sent);
    LoopbackServer server([](const std::string&) { return Ok("done"); });
    ByteSet postBytes = ToByteSet(c.postBytesIn);
    EXPECT_EQ(AsString(FetchPage(server.Url("/form").c_str(), c.method, c.postText, nullptr, nullptr, nullptr,
                                 nullptr, false, &postBytes)),
              "done");
    const std::string request = server.Requests().at(0);
    EXPECT_EQ(request.substr(0, request.find(' ')), c.verb);
    EXPECT_EQ(RequestBody(request), c.sent);
    EXPECT_EQ(AsString(postBytes), c.sent);
    EXPECT_EQ(request.find("Expect:"), std::string::npos);
  }
}

TEST(FetchPageTest, CharsetMarkerWindowAndHeaders) {
  const std::string marker = "charset=utf-8";
  const std::string utf8 = "\xE4\xB8\xAD";  // one character, D6 D0 in code page 936
  struct CharsetCase {
    std::size_t markerPosition;  // 1-based, 0 for no marker in the body
    const char* headerLine;
    bool converted;
  };
  const CharsetCase cases[] = {
      {499, "", true},
      {500, "", false},
      {500, "Content-Type: text/html; charset=utf-8\r\n", true},
      {0, "Content-Type: text/html; charset=UTF-8\r\n", false},
      {1, "", true},
  };
  for (const CharsetCase& c : cases) {
    SCOPED_TRACE(c.markerPosition);
    std::string body;
    if (c.markerPosition > 0) body = std::string(c.markerPosition - 1, 'a') + marker;
    else body = "charset=UTF-8";
    body += utf8;
    LoopbackServer server([&](const std::string&) { return Ok(body, c.headerLine); });
    const std::string got = AsString(FetchPage(server.Url("/c").c_str(), 0));
    const std::string expectedTail = c.converted ? "\xD6\xD0" : utf8;
    ASSERT_GE(got.size(), expectedTail.size());
    EXPECT_EQ(got.substr(got.size() - expectedTail.size()), expectedTail);
  }
}

// The marker decides by its first place in the whole body, found in any
// body: the same decision as the plain definition over generated bodies
// with markers, broken markers and near misses about the window's end.
TEST(FetchPageTest, CharsetMarkerRuleMatchesItsDefinition) {
  const std::string marker = "charset=utf-8";
  const std::string pieces[] = {marker, "charset=utf-", "charset=utf-88", "charset=UTF-8", "c", "\xE4\xB8\xAD", "a"};
  std::mt19937 random(5);
  std::vector<std::string> bodies;
  for (int i = 0; i < 150; ++i) {
    // Filler up to somewhere about the window's end, then a few pieces.
    std::string body(480 + random() % 40, 'a');
    if (i % 5 == 0) body.resize(random() % 520);
    for (int n = static_cast<int>(random() % 4); n > 0; --n) body += pieces[random() % std::size(pieces)];
    body += "\xE4\xB8\xAD";  // shows whether the body was converted
    bodies.push_back(body);
  }
  LoopbackServer server([&](const std::string& request) { return Ok(bodies.at(std::atoi(request.c_str() + 5))); });
  for (std::size_t i = 0; i < bodies.size(); ++i) {
    const ByteSet bytes(bodies[i].begin(), bodies[i].end());
    const int at = FindByteSet(bytes, ToByteSet(marker));
    const ByteSet expected = at > 0 && at < 500 ? Utf8ToGbkBytes(bytes) : bytes;
    ASSERT_EQ(FetchPage(server.Url("/" + std::to_string(i)).c_str(), 0), expected) << "marker at " << at;
  }
}

// A UTF-8 body far longer than a piece of the conversion comes back as the
// conversion of the whole body at once.
TEST(FetchPageTest, LongUtf8BodyEqualsTheWholeConversion) {
  const std::string tokens[] = {"<a href=\"x\">", "\xE4\xB8\xAD\xE6\x96\x87", "\r\n", "e\xCC\x81", "\xC3\xA9",
                                "\xF0\x9F\x98\x80", "\xEF\xBB\xBF", "\xFF", "\xE4\xB8", " 1.2 GB "};
  std::mt19937 random(3);
  std::string body;
  while (body.size() < 600000) body += tokens[random() % std::size(tokens)];
  body += "z";
  LoopbackServer server([&](const std::string&) { return Ok(body, "Content-Type: text/html; charset=utf-8\r\n"); });
  EXPECT_EQ(FetchPage(server.Url("/u").c_str(), 0), Utf8ToGbkBytes(ByteSet(body.begin(), body.end())));
}

TEST(FetchPageTest, SetCookieLocationAndRawHeaders) {
  const std::string head =
      "HTTP/1.1 200 OK\r\nSet-Cookie: a=1; path=/\r\nSet-Cookie: b=2; path=/\r\nSet-Cookie: flag\r\n";
  LoopbackServer server([&](const std::string&) { return ServerReply{Response(head, "x")}; });
  Text received, location, raw;
  FetchPage(server.Url("/s").c_str(), 0, {}, nullptr, &received, nullptr, &location, false, nullptr,
            std::nullopt, &raw);
  EXPECT_EQ(received, "a=1; b=2; ; ");
  EXPECT_EQ(raw, head + "Content-Length: 1\r\n\r\n");
  EXPECT_EQ(location, raw);  // no Location line

  LoopbackServer moved([](const std::string&) {
    return ServerReply{Response("HTTP/1.1 302 Found\r\nLocation:  http://else.test/y \r\n", "")};
  });
  location = "kept";
  FetchPage(moved.Url("/m").c_str(), 0, {}, nullptr, nullptr, nullptr, &location, true);
  EXPECT_EQ(location, "http://else.test/y");
}

TEST(FetchPageTest, SuppliedCookiesAreSentAndMerged) {
  LoopbackServer server([](const std::string&) {
    return ServerReply{Response("HTTP/1.1 200 OK\r\nSet-Cookie: b=3; path=/\r\nSet-Cookie: c=4; path=/\r\n", "ok")};
  });
  Text cookies = "a=1; b=2";
  Text received;
  FetchPage(server.Url("/k").c_str(), 0, {}, &cookies, &received);
  EXPECT_EQ(cookies, "b=3; c=4; a=1");
  EXPECT_EQ(received, "b=3;c=4;");
  const std::vector<std::string> lines = RequestHeaderLines(server.Requests().at(0));
  EXPECT_EQ(lines.back(), "Cookie: a=1; b=2");
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "Cookie: a=1; b=2"), 1);
}

TEST(FetchPageTest, ProcessCookieStoreWhenCookiesAreNotSupplied) {
  LoopbackServer server([](const std::string& request) {
    if (request.find("GET /set") == 0) return ServerReply{Response("HTTP/1.1 200 OK\r\nSet-Cookie: jar=7; path=/\r\n", "")};
    return Ok("");
  });
  FetchPage(server.Url("/set").c_str(), 0);
  FetchPage(server.Url("/again").c_str(), 0);
  Text none;  // supplied, empty: the store is bypassed
  FetchPage(server.Url("/bypass").c_str(), 0, {}, &none);
  const std::vector<std::string> requests = server.Requests();
  ASSERT_EQ(requests.size(), 3u);
  // The store is the whole process's: earlier tests' cookies for this host may be there too.
  const std::size_t line = requests[1].find("\r\nCookie: ");
  ASSERT_NE(line, std::string::npos) << requests[1];
  EXPECT_NE(requests[1].substr(line, requests[1].find("\r\n", line + 2) - line).find("jar=7"), std::string::npos);
  EXPECT_EQ(requests[2].find("Cookie:"), std::string::npos);
}

TEST(FetchPageTest, Followed301AndResponsesThatAreNot) {
  // Every server answers /start with the given status; the redirect target
  // gets the current path appended.
  struct RedirectCase {
    const char* statusLine;
    bool withLocation;
    bool followed;
  };
  const RedirectCase cases[] = {
      {"HTTP/1.1 301 Moved Permanently", true, true},
      {"HTTP/1.0 301 Moved Permanently", true, false},
      {"HTTP/1.1 302 Moved Temporarily", true, false},
      {"HTTP/1.1 301 Moved Permanently", false, false},
  };
  for (const RedirectCase& c : cases) {
    SCOPED_TRACE(std::string(c.statusLine) + (c.withLocation ? " with Location" : ""));
    LoopbackServer target([](const std::string&) { return Ok("arrived"); });
    const std::string targetBase = target.Url("");
    LoopbackServer server([&](const std::string&) {
      std::string head = std::string(c.statusLine) + "\r\n";
      if (c.withLocation) head += "Location: " + targetBase + "\r\n";
      return ServerReply{Response(head, "moved body")};
    });
    Text headers, location;
    const std::string body = AsString(
        FetchPage(server.Url("/x?y=1").c_str(), 0, {}, nullptr, nullptr, &headers, &location, true));
    if (c.followed) {
      EXPECT_EQ(body, "arrived");
      ASSERT_EQ(target.Requests().size(), 1u);
      const std::string request = target.Requests()[0];
      EXPECT_EQ(request.substr(0, request.find("\r\n")), "GET /x?y=1 HTTP/1.1");
      // The inner request keeps the first address as Referer, no line twice.
      EXPECT_NE(request.find("\r\nReferer: " + server.Url("/x?y=1") + "\r\n"), std::string::npos);
      EXPECT_EQ(request.find("Referer:"), request.rfind("Referer:"));
      int lines = 0;  // Host, agent and our four; the process's cookie store may add a line
      for (const std::string& l : RequestHeaderLines(request)) lines += l.rfind("Cookie:", 0) != 0;
      EXPECT_EQ(lines, 6) << request;
    } else {
      EXPECT_EQ(body, "moved body");
      EXPECT_TRUE(target.Requests().empty());
    }
  }
}

TEST(FetchPageTest, BlankLocationCountsAsNone) {
  // Whether the stand-in or the fetch handles redirects, a 301 whose
  // Location line holds nothing (or only spaces) is the final response.
  const char* const lines[] = {"Location:", "Location:   ", "Location: \t "};
  for (const char* line : lines) {
    for (const bool noRedirect : {true, false}) {
      SCOPED_TRACE(std::string(line) + (noRedirect ? ", no automatic redirects" : ", automatic redirects"));
      LoopbackServer server([&](const std::string&) {
        return ServerReply{Response(std::string("HTTP/1.1 301 Moved Permanently\r\n") + line + "\r\n", "moved body")};
      });
      Text location, raw;
      const std::string body = AsString(FetchPage(server.Url("/x?y=1").c_str(), 0, {}, nullptr, nullptr, nullptr,
                                                  &location, noRedirect, nullptr, std::nullopt, &raw));
      EXPECT_EQ(body, "moved body");
      EXPECT_EQ(server.Requests().size(), 1u);
      EXPECT_EQ(raw.find("HTTP/1.1 301 Moved Permanently\r\n"), 0u) << raw;
      EXPECT_EQ(location, raw);  // the fallback of a response without Location
    }
  }
}

TEST(FetchPageTest, CallerTextNeverSplitsTheHeaderBlock) {
  // A line break inside a value that becomes one header line cuts the value
  // there: the text after it never reaches the wire as a line of its own.
  struct SplitCase {
    const char* name;
    std::string headers;  // the caller's header text
    std::string path;     // appended to the server's address
    int evilLines;        // "Evil: 1" lines expected on the wire
  };
  const SplitCase cases[] = {
      // The agent comes from the first-colon rule: "\r\nEvil: 1". The
      // caller's own second line stays one line.
      {"agent", "XUser-Agent:   \r\nEvil: 1", "/a", 1},
      {"agent with bare line feed", "User-Agent: A\nEvil: 1", "/b", 0},
      {"caller line with bare carriage return", "X-A: 1\rEvil: 1", "/c", 0},
      // The address goes into the Referer line.
      {"address in Referer", "", "/x\r\nEvil: 1", 0},
      {"address with bare line feed in Referer", "", "/x\nEvil: 1", 0},
  };
  for (const SplitCase& c : cases) {
    SCOPED_TRACE(c.name);
    LoopbackServer server([](const std::string&) { return Ok("ok"); });
    Text headers = c.headers.c_str();
    const Text url = server.Url(c.path).c_str();
    EXPECT_EQ(AsString(FetchPage(url, 0, {}, nullptr, nullptr, &headers)), "ok");
    ASSERT_EQ(server.Requests().size(), 1u);
    const std::string request = server.Requests()[0];
    const std::string head = RequestHead(request);
    int evil = 0;
    for (const std::string& line : RequestHeaderLines(request)) {
      evil += line.find("Evil") != std::string::npos;
      // Every line of the head is a proper header line.
      EXPECT_NE(line.find(':'), std::string::npos) << line;
    }
    EXPECT_EQ(evil, c.evilLines) << request;
    // No line break of any kind but the CR LF pairs that end the lines.
    std::string stripped = head;
    for (std::size_t p; (p = stripped.find("\r\n")) != std::string::npos;) stripped.erase(p, 2);
    EXPECT_EQ(stripped.find_first_of("\r\n"), std::string::npos) << request;
    EXPECT_EQ(RequestBody(request), "");
  }
}

TEST(FetchPageTest, ChainOf301IsBounded) {
  // Ten follows are allowed: the eleventh 301 in a row gives up.
  for (int moves : {10, 11}) {
    SCOPED_TRACE(moves);
    int served = 0;
    std::string base;
    LoopbackServer server([&](const std::string&) {
      if (served++ < moves) return ServerReply{Response("HTTP/1.1 301 Moved Permanently\r\nLocation: " + base + "\r\n", "")};
      return Ok("end");
    });
    base = server.Url("");
    const std::string body = AsString(FetchPage(server.Url("/loop").c_str(), 0, {}, nullptr, nullptr, nullptr,
                                                nullptr, true));
    EXPECT_EQ(body, moves == 10 ? "end" : "");
    EXPECT_EQ(static_cast<int>(server.Requests().size()), moves == 10 ? 11 : 11);
  }
}

TEST(FetchPageTest, AutomaticRedirectsByTheStandIn) {
  LoopbackServer server([](const std::string& request) {
    if (request.find("GET /old") == 0)
      return ServerReply{Response("HTTP/1.1 302 Found\r\nLocation: /new\r\nSet-Cookie: r=1\r\n", "")};
    return Ok("new page", "X-Final: yes\r\n");
  });
  Text raw;
  const std::string body = AsString(FetchPage(server.Url("/old").c_str(), 0, {}, nullptr, nullptr, nullptr,
                                              nullptr, false, nullptr, std::nullopt, &raw));
  EXPECT_EQ(body, "new page");
  EXPECT_EQ(raw.find("HTTP/1.1 200 OK\r\n"), 0u);  // the final response's headers only
  EXPECT_NE(raw.find("X-Final: yes"), Text::npos);
}

TEST(FetchPageTest, FailuresKeepWhatTheyShould) {
  // Refused connection: the outputs hold the untouched header buffer.
  {
    const Text url = ("http://127.0.0.1:" + std::to_string(LoopbackServer::UnusedPort()) + "/").c_str();
    Text received = "old", location, raw;
    EXPECT_TRUE(FetchPage(url, 0, {}, nullptr, &received, nullptr, &location, false, nullptr, std::nullopt, &raw)
                    .empty());
    EXPECT_EQ(raw, Text(5000, ' '));
    EXPECT_EQ(location, Text(5000, ' '));
    EXPECT_EQ(received, "");
  }
  // A header block over the 5000-byte buffer: headers unseen, body kept.
  {
    const std::string head = "HTTP/1.1 200 OK\r\nSet-Cookie: big=1\r\nX-Pad: " + std::string(5100, 'p') + "\r\n";
    LoopbackServer server([&](const std::string&) { return ServerReply{Response(head, "charset=utf-8\xE4\xB8\xAD")}; });
    Text received, raw;
    const std::string body = AsString(FetchPage(server.Url("/big").c_str(), 0, {}, nullptr, &received, nullptr,
                                                nullptr, false, nullptr, std::nullopt, &raw));
    EXPECT_EQ(body, "charset=utf-8\xD6\xD0");
    EXPECT_EQ(raw, Text(5000, ' '));
    EXPECT_EQ(received, "");
  }
  // A body cut short keeps the bytes that arrived.
  {
    LoopbackServer server([](const std::string&) {
      return ServerReply{"HTTP/1.1 200 OK\r\nContent-Length: 5000\r\n\r\n" + std::string(3000, 'b')};
    });
    EXPECT_EQ(AsString(FetchPage(server.Url("/cut").c_str(), 0)), std::string(3000, 'b'));
  }
  // An empty host never reaches the network.
  {
    Text headers = "keep";
    EXPECT_TRUE(FetchPage("http:///x", 0, {}, nullptr, nullptr, &headers).empty());
    EXPECT_EQ(headers, "keep");
  }
}

TEST(FetchPageTest, ChunkedAndCloseDelimitedBodies) {
  const std::pair<const char*, const char*> cases[] = {
      {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n6\r\n world\r\n0\r\n\r\n", "hello world"},
      {"HTTP/1.0 200 OK\r\n\r\nuntil close", "until close"},
  };
  for (const auto& [reply, expected] : cases) {
    LoopbackServer server([&](const std::string&) { return ServerReply{reply}; });
    EXPECT_EQ(AsString(FetchPage(server.Url("/").c_str(), 0)), expected);
  }
}

TEST(FetchPageTest, LargeBodyStreamsAndIsCapped) {
  const long long size = kMaxBodyBytes + 100000LL;
  LoopbackServer server([&](const std::string&) {
    return ServerReply{"HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(size) + "\r\n\r\n", size};
  });
  const ByteSet body = FetchPage(server.Url("/huge").c_str(), 0);
  EXPECT_EQ(ByteSetLength(body), kMaxBodyBytes);
  EXPECT_EQ(body.back(), 'x');
}

// A fetch that meets the process's bound keeps the bytes that fitted in the
// room it held, as a read that failed part way.
TEST(FetchPageTest, BodyMeetingTheProcessBoundKeepsWhatFitted) {
  SetHeldBodyBoundForTesting(200 * 1024);  // three steps of 64 KiB fit, a fourth does not
  LoopbackServer server([](const std::string&) {
    return ServerReply{"HTTP/1.1 200 OK\r\nContent-Length: 1000000\r\n\r\n", 1000000};
  });
  const ByteSet body = FetchPage(server.Url("/b").c_str(), 0);
  SetHeldBodyBoundForTesting(0);
  EXPECT_EQ(ByteSetLength(body), 3 * 64 * 1024);
  EXPECT_EQ(body.find_first_not_of('x'), ByteSet::npos);
  // The room is handed back: the next fetch gets its whole body.
  EXPECT_EQ(ByteSetLength(FetchPage(server.Url("/b").c_str(), 0)), 1000000);
}

TEST(FetchPageTest, SilentServerTimesOut) {
  InternetSetTimeoutsForTesting(60000, 300);
  LoopbackServer server([](const std::string&) {
    return ServerReply{"HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc", 0, 1500, "defghij"};
  });
  // The read after "abc" fails: the rest, sent too late, is never seen.
  EXPECT_EQ(AsString(FetchPage(server.Url("/slow").c_str(), 0)), "abc");
  InternetSetTimeoutsForTesting(60000, 30000);
}

TEST(FetchPageTest, ConnectToAndProxyKeepTheRequest) {
  LoopbackServer server([](const std::string&) { return Ok("routed"); });
  const std::string port = std::to_string(server.port());
  setenv("QUORVANE_CONNECT_TO", ("share.test:80:127.0.0.1:" + port).c_str(), 1);
  EXPECT_EQ(AsString(FetchPage("http://share.test/list?q=1", 0)), "routed");
  unsetenv("QUORVANE_CONNECT_TO");
  const std::string direct = server.Requests().at(0);
  EXPECT_EQ(direct.substr(0, direct.find("\r\n")), "GET /list?q=1 HTTP/1.1");
  EXPECT_NE(direct.find("\r\nHost: share.test\r\n"), std::string::npos);

  const std::string proxy = "127.0.0.1:" + port;
  EXPECT_EQ(AsString(FetchPage("http://share.test/p", 0, {}, nullptr, nullptr, nullptr, nullptr, false, nullptr,
                               TextView(proxy))),
            "routed");
  const std::string proxied = server.Requests().at(1);
  EXPECT_EQ(proxied.substr(0, proxied.find("\r\n")), "GET http://share.test/p HTTP/1.1");
}

TEST(FetchPageTest, ConcurrentCallsOnThreads) {
  LoopbackServer server([](const std::string& request) {
    return Ok(request.substr(4, request.find(' ', 4) - 4), "Set-Cookie: t=1\r\n");
  });
  std::vector<std::string> bodies(6);
  std::vector<std::thread> threads;
  for (std::size_t i = 0; i < bodies.size(); ++i) {
    threads.emplace_back([&, i] {
      bodies[i] = AsString(FetchPage(server.Url("/t" + std::to_string(i)).c_str(), 0));
    });
  }
  for (std::thread& t : threads) t.join();
  for (std::size_t i = 0; i < bodies.size(); ++i) EXPECT_EQ(bodies[i], "/t" + std::to_string(i));
}

}  // namespace
