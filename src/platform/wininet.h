// HTTP client calls with the names, flags and conventions of the system
// internet API, on libcurl.
//
//   HINTERNET net = InternetOpenA("agent", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
//   HINTERNET con = InternetConnectA(net, "example.test", 80, nullptr, nullptr,
//                                    INTERNET_SERVICE_HTTP, 0, 0);
//   HINTERNET req = HttpOpenRequestA(con, "GET", "/", "HTTP/1.1", nullptr, nullptr,
//                                    INTERNET_FLAG_RELOAD, 0);
//   HttpSendRequestA(req, "Accept: */*", -1, nullptr, 0);   // returns with the headers in
//   char piece[1024];
//   DWORD n = 0;
//   while (InternetReadFile(req, piece, sizeof piece, &n) && n > 0) { ... }
//   InternetCloseHandle(req); InternetCloseHandle(con); InternetCloseHandle(net);
//
// A request follows redirects unless INTERNET_FLAG_NO_AUTO_REDIRECT, keeps
// cookies in one in-memory store shared by the whole process unless
// INTERNET_FLAG_NO_COOKIES, and connects directly (proxy variables of the
// environment are ignored) unless the internet handle names an "http=HOST:PORT"
// proxy. The body streams through InternetReadFile in the caller's pieces.
// A line break inside the agent, the referrer or a header line ends that
// value there, so no text the caller passes adds a header line of its own.
// Connecting gives up after 60 s, receiving after 30 s without data; the
// send or read then fails.
//
// QUORVANE_CONNECT_TO ("HOST:PORT:CONNECT-HOST:CONNECT-PORT", several
// separated by commas) sends the connections for a host and port to another
// address, leaving the request itself unchanged, like a hosts-file entry.
//
// Each handle belongs to one thread at a time; different handles may be used
// on different threads at once.
#pragma once

#include <cstdint>

using HINTERNET = void*;
using DWORD = std::uint32_t;
using BOOL = int;
using INTERNET_PORT = std::uint16_t;
using DWORD_PTR = std::uintptr_t;

inline constexpr DWORD INTERNET_OPEN_TYPE_DIRECT = 1;
inline constexpr DWORD INTERNET_OPEN_TYPE_PROXY = 3;
inline constexpr DWORD INTERNET_SERVICE_HTTP = 3;
// Port 0 picks the scheme's default port.
inline constexpr INTERNET_PORT INTERNET_DEFAULT_PORT = 0;

inline constexpr DWORD INTERNET_FLAG_RELOAD = 0x80000000;
inline constexpr DWORD INTERNET_FLAG_SECURE = 0x00800000;
inline constexpr DWORD INTERNET_FLAG_NO_AUTO_REDIRECT = 0x00200000;
inline constexpr DWORD INTERNET_FLAG_NO_COOKIES = 0x00080000;
inline constexpr DWORD INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS = 0x00004000;
inline constexpr DWORD INTERNET_FLAG_NEED_FILE = 0x00000010;

inline constexpr DWORD HTTP_QUERY_RAW_HEADERS_CRLF = 22;

// `proxy` is a list such as "http=HOST:PORT"; entries are separated by
// spaces, and an entry without "=" serves every scheme.
HINTERNET InternetOpenA(const char* agent, DWORD accessType, const char* proxy, const char* proxyBypass,
                        DWORD flags);

HINTERNET InternetConnectA(HINTERNET internet, const char* serverName, INTERNET_PORT port, const char* userName,
                           const char* password, DWORD service, DWORD flags, DWORD_PTR context);

HINTERNET HttpOpenRequestA(HINTERNET connection, const char* verb, const char* objectName, const char* version,
                           const char* referrer, const char** acceptTypes, DWORD flags, DWORD_PTR context);

// `headers` holds "\r\n"-separated lines; a length of (DWORD)-1 means it is
// zero-terminated. Returns once the headers of the final response are in.
BOOL HttpSendRequestA(HINTERNET request, const char* headers, DWORD headersLength, void* optional,
                      DWORD optionalLength);

// Up to `toRead` bytes of the body; *read is 0 at its end. Fails (FALSE, 0
// bytes) when the transfer broke off.
BOOL InternetReadFile(HINTERNET request, void* buffer, DWORD toRead, DWORD* read);

// Only HTTP_QUERY_RAW_HEADERS_CRLF: the status line and header lines of the
// final response, each ended by CRLF, then an empty line and a zero byte.
// When that does not fit *bufferLength, fails without touching the buffer
// and sets *bufferLength to the size needed; otherwise *bufferLength gets
// the length without the zero byte.
BOOL HttpQueryInfoA(HINTERNET request, DWORD infoLevel, void* buffer, DWORD* bufferLength, DWORD* index);

BOOL InternetCloseHandle(HINTERNET handle);
