// The page fetch on the internet-API stand-in.
#include "http/fetch.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "extract/delimited.h"
#include "http/cookies.h"
#include "http/fetch_internal.h"
#include "http/response_body.h"
#include "http/url_parts.h"
#include "platform/wininet.h"
#include "text/byte_set.h"
#include "text/text_array.h"
#include "text/text_ops.h"

namespace fetch_internal {

std::atomic<long long> heldBodyBound{kMaxHeldBodyBytes};

}  // namespace fetch_internal

namespace {

constexpr int kReadSize = 1024;
constexpr int kRawHeaderSize = 5000;
constexpr int kCharsetWindow = 500;
constexpr int kMaxFollowed301 = 10;

using fetch_internal::heldBodyBound;

// Body bytes held by the fetches under way.
std::atomic<long long> heldBodyBytes{0};

// What one fetch holds of the process's room for bodies; handed back when
// the fetch no longer needs it.
struct HeldBodyBytes {
  long long bytes = 0;
  HeldBodyBytes() = default;
  HeldBodyBytes(const HeldBodyBytes&) = delete;
  HeldBodyBytes& operator=(const HeldBodyBytes&) = delete;
  ~HeldBodyBytes() { GiveBack(); }

  bool Take(long long n) {
    if (heldBodyBytes.fetch_add(n) + n > heldBodyBound.load()) {
      heldBodyBytes.fetch_sub(n);
      return false;
    }
    bytes += n;
    return true;
  }
  void GiveBack() {
    heldBodyBytes.fetch_sub(bytes);
    bytes = 0;
  }
};

// Body bytes are taken from the process's room this many at a time.
constexpr std::size_t kRoomStepBytes = 64 * 1024;

// An empty body with room for the longest body kept. The room is only
// reserved: a page is touched when a byte lands on it, so a small body costs
// what it holds, on heap pages earlier fetches already faulted in, and a
// large one grows in place, never copied and never held twice, on huge pages
// past its first 2 MiB.
ByteSet RoomForBody() {
  ByteSet body;
  body.reserve(static_cast<std::size_t>(kMaxBodyBytes));
  return body;
}

// Appends n bytes while the fetch's share of the process's room holds them,
// taking more room as needed; when no more is granted, keeps what fits and
// returns false.
bool AppendWithinBound(ByteSet& body, const unsigned char* bytes, std::size_t n, HeldBodyBytes& held) {
  while (body.size() + n > static_cast<std::size_t>(held.bytes)) {
    if (!held.Take(kRoomStepBytes)) {
      body.append(bytes, static_cast<std::size_t>(held.bytes) - body.size());
      return false;
    }
  }
  body.append(bytes, n);
  return true;
}

// The call's variables, each the caller's or a local stand-in for an
// omitted one.
struct FetchState {
  int method;
  TextView postText;
  Text* cookies;  // null when not supplied
  Text& receivedCookies;
  Text& headers;
  Text& location;
  bool noRedirect;
  ByteSet& postBytes;
  std::optional<TextView> proxy;
  Text& rawHeaders;
};

// A value that goes into a header line ends at its first line break: a CR
// or LF inside it would start a header line of the sender's choosing.
Text UpToLineBreak(TextView value) { return Text(value.substr(0, value.find_first_of("\r\n"))); }

Text AgentFor(const Text& headers) {
  if (FindText(headers, "User-Agent:", 1, true) == -1) return Text(kDefaultUserAgent);
  Text agent = TrimBothEnds(TextBetween(headers, "User-Agent:", "\r\n"));
  // The first-colon rule can reach past a line break ("User-Agent: \r\nX: 1").
  if (agent.empty()) agent = UpToLineBreak(ValueAfterColon(headers));
  return agent;
}

void AddDefaultHeaderLines(const Text& url, FetchState& s) {
  Text& h = s.headers;
  if (FindText(h, "Referer:") == -1) {
    const Text referer = UpToLineBreak(url);
    h = h.empty() ? ConcatTexts(Text("Referer: "), referer) : ConcatTexts(std::move(h), "\r\nReferer: ", referer);
  }
  if (FindText(h, "Accept:") == -1) h = ConcatTexts(std::move(h), "\r\nAccept: */*");
  if (FindText(h, "Accept-Language:") == -1) h = ConcatTexts(std::move(h), "\r\nAccept-Language: zh-cn");
  if (FindText(h, "Content-Type:") == -1) {
    h = ConcatTexts(std::move(h), "\r\nContent-Type: application/x-www-form-urlencoded");
  }
  if (s.cookies != nullptr && !s.cookies->empty()) h = ConcatTexts(std::move(h), "\r\nCookie: ", *s.cookies);
}

ByteSet Fetch(const Text& url, FetchState& s, int followed) {
  const char* verb = s.method == 1 ? "POST" : "GET";
  const Text agent = AgentFor(s.headers);

  HINTERNET internet = nullptr;
  if (s.proxy.has_value()) {
    const Text proxyList = ConcatTexts(Text("http="), *s.proxy);
    internet = InternetOpenA(agent.c_str(), INTERNET_OPEN_TYPE_PROXY, proxyList.c_str(), "", 0);
  } else {
    internet = InternetOpenA(agent.c_str(), INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
  }
  if (internet == nullptr) return {};

  const Text host = UrlHost(url);
  HINTERNET connection = InternetConnectA(internet, host.c_str(), static_cast<INTERNET_PORT>(UrlPort(url)),
                                          nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
  if (connection == nullptr) {
    InternetCloseHandle(internet);
    return {};
  }

  DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NEED_FILE;
  if (s.cookies != nullptr) flags |= INTERNET_FLAG_NO_COOKIES;
  if (s.noRedirect) flags |= INTERNET_FLAG_NO_AUTO_REDIRECT;
  const bool secure = ToLowerCase(TextLeft(url, 5)) == "https";
  flags |= secure ? INTERNET_FLAG_SECURE : INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS;

  const Text path = UrlPath(url);
  HINTERNET request = HttpOpenRequestA(connection, verb, path.c_str(), "HTTP/1.1", nullptr, nullptr, flags, 0);
  if (request == nullptr) {
    InternetCloseHandle(connection);
    InternetCloseHandle(internet);
    return {};
  }

  AddDefaultHeaderLines(url, s);
  const DWORD headerLength = static_cast<DWORD>(s.headers.size());
  if (s.method == 0) {
    HttpSendRequestA(request, s.headers.c_str(), headerLength, nullptr, 0);
  } else {
    if (s.postBytes.empty()) s.postBytes = ToByteSet(s.postText);
    HttpSendRequestA(request, s.headers.c_str(), headerLength, s.postBytes.empty() ? nullptr : s.postBytes.data(),
                     static_cast<DWORD>(s.postBytes.size()));
  }

  // A hostile or broken server must not exhaust memory: past the cap, or
  // once the process holds all the body bytes it allows, the body is
  // treated as if the next read had failed.
  HeldBodyBytes held;
  ByteSet body = RoomForBody();
  ByteSet buffer = BlankByteSet(kReadSize);  // only the bytes a read reports are used
  for (;;) {
    DWORD count = 0;
    InternetReadFile(request, buffer.data(), kReadSize, &count);
    if (count == 0) break;
    const std::size_t take = std::min<std::size_t>(count, kMaxBodyBytes - body.size());
    if (!AppendWithinBound(body, buffer.data(), take, held)) break;
    if (body.size() >= static_cast<std::size_t>(kMaxBodyBytes)) break;
  }

  s.rawHeaders = BlankText(kRawHeaderSize);
  DWORD rawLength = kRawHeaderSize;
  if (HttpQueryInfoA(request, HTTP_QUERY_RAW_HEADERS_CRLF, s.rawHeaders.data(), &rawLength, nullptr)) {
    // The block ends at its zero byte, or earlier at a zero byte a server
    // put into a line: a text holds none.
    s.rawHeaders.resize(std::strlen(s.rawHeaders.c_str()));
  }

  InternetCloseHandle(request);
  InternetCloseHandle(connection);
  InternetCloseHandle(internet);

  const TextArray lines = SplitText(s.rawHeaders, "\r\n");
  s.receivedCookies.clear();
  bool sawLocation = false;
  for (int i = 1; i <= TextArrayCount(lines); ++i) {
    const Text& line = TextArrayAt(lines, i);
    // A blank Location (nothing, or only spaces and tabs) names no place to
    // go: it counts as no Location line.
    if (FindText(line, "Location:") != -1) {
      Text value = ValueAfterColon(line);
      if (value.find_first_not_of(" \t") != Text::npos) {
        s.location = std::move(value);
        sawLocation = true;
      }
    }
    if (FindText(line, "Set-Cookie") != -1) {
      s.receivedCookies =
          ConcatTexts(std::move(s.receivedCookies), TrimBothEnds(TextBetween(line, "Set-Cookie:", ";")), "; ");
    }
  }

  if (s.cookies != nullptr) MergeCookies(*s.cookies, s.receivedCookies);
  if (s.location.empty()) s.location = s.rawHeaders;

  // A 301 without a Location line has nowhere to go: it is the final response.
  if (sawLocation && TextBetween(s.rawHeaders, "HTTP/1.1 ", " Moved") == "301") {
    if (followed >= kMaxFollowed301) return {};
    const Text next = ConcatTexts(Text(s.location), path);
    s.location.clear();
    ByteSet().swap(body);
    held.GiveBack();
    return Fetch(next, s, followed + 1);
  }

  // The marker counts only when it begins in the window, so the bytes up to
  // the window's end plus the marker's length decide.
  const ByteSet marker = ToByteSet("charset=utf-8");
  const int at = FindByteSet(ByteSetLeft(body, kCharsetWindow - 1 + static_cast<int>(marker.size()) - 1), marker);
  if ((at > 0 && at < kCharsetWindow) || FindText(s.rawHeaders, "charset=utf-8") != -1) Utf8BodyToGbk(body);
  return body;
}

}  // namespace

ByteSet FetchPage(const Text& url, int method, TextView postText, Text* cookies, Text* receivedCookies,
                  Text* headers, Text* location, bool noRedirect, ByteSet* postBytes, std::optional<TextView> proxy,
                  Text* rawHeaders) {
  Text localReceivedCookies, localHeaders, localLocation, localRawHeaders;
  ByteSet localPostBytes;
  FetchState s{method,
               postText,
               cookies,
               receivedCookies != nullptr ? *receivedCookies : localReceivedCookies,
               headers != nullptr ? *headers : localHeaders,
               location != nullptr ? *location : localLocation,
               noRedirect,
               postBytes != nullptr ? *postBytes : localPostBytes,
               proxy,
               rawHeaders != nullptr ? *rawHeaders : localRawHeaders};
  return Fetch(url, s, 0);
}
