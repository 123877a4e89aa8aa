// One HTTP request: the page fetch behind every search.
//
//   ByteSet page = FetchPage("http://share.example/?q=x&page=1", 0);
//
//   Text cookies = "sid=1";                      // supplied: our own jar
//   Text headers = "User-Agent: Probe";
//   ByteSet body = FetchPage(url, 1, "a=1", &cookies, nullptr, &headers);
//   // headers now ends with the default lines that were added; cookies
//   // holds the jar merged with what the response set.
//
// Every parameter after `method` is optional. A written parameter passed as
// nullptr behaves as a fresh empty variable of the call's own. `cookies` and
// `proxy` also tell an omitted argument from a supplied one: a supplied
// cookie text, even empty, switches the process-wide cookie store off and
// the merge on; a supplied proxy, even empty, sends the request through
// "http=" and that text.
//
// The default lines Referer, Accept, Accept-Language and Content-Type are
// added to `headers` when it lacks them, then a Cookie line for a non-empty
// cookie text. The agent and the address in the Referer line end at their
// first CR or LF, so that no caller text splits the request's header block.
// A 301 response ("HTTP/1.1 ... 301 Moved") with a Location line that is
// not blank is followed to the Location plus the current path, at most 10 times
// in a row; past that the result is empty. A body in which "charset=utf-8"
// begins within its first 499 bytes, or whose headers hold that marker,
// comes back in code page 936. Bodies are cut at kMaxBodyBytes, and all
// fetches of the process together hold at most kMaxHeldBodyBytes of body: a
// fetch that would go past that ends as if its next read had failed, with
// the bytes read so far as its body. The result is empty when the request
// failed; no failure is reported otherwise.
#pragma once

#include <optional>

#include "text/text.h"

// The agent sent when the header text names none.
inline constexpr TextView kDefaultUserAgent =
    "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1; Q7ZKV; .NET CLR 2.0.50727; .NET CLR 3.0.04506.648; .NET "
    "CLR 3.5.21022)";

// Result pages run from tens to a few hundred KB. The longest body kept is
// twenty times the largest of them, and the rest of a larger one is not
// read: no page is cut, and a server that sends without end costs at most
// this much.
inline constexpr int kMaxBodyBytes = 8 * 1024 * 1024;

// The body bytes all fetches of the process hold at once. Any number of
// searches may overlap (a user clicking through pages of a slow site starts
// one each time); this is room for hundreds of real pages in flight at once,
// or sixteen bodies at the cap, and keeps the program far below a gigabyte
// whatever the servers send.
inline constexpr long long kMaxHeldBodyBytes = 128LL * 1024 * 1024;

// `method` 1 is a POST; any value but 0 sends `postBytes` (filled from
// `postText` when empty). `receivedCookies` gets the response's Set-Cookie
// pairs, each followed by "; "; `location` its Location value, or the raw
// header text when there is none; `rawHeaders` the raw header text.
ByteSet FetchPage(const Text& url, int method = 0, TextView postText = {}, Text* cookies = nullptr,
                  Text* receivedCookies = nullptr, Text* headers = nullptr, Text* location = nullptr,
                  bool noRedirect = false, ByteSet* postBytes = nullptr,
                  std::optional<TextView> proxy = std::nullopt, Text* rawHeaders = nullptr);
