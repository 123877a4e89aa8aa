// The internet handles on libcurl's multi interface: each request handle
// drives its own transfer, a step at a time, only as far as its caller has
// asked for (the final headers, then the next piece of the body).
#include "platform/wininet.h"

#include <curl/curl.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ascii_case.h"
#include "platform/wininet_internal.h"

namespace wininet_internal {

std::atomic<long> connectTimeoutMs{kConnectTimeoutMs};
std::atomic<long> receiveTimeoutMs{kReceiveTimeoutMs};
std::atomic<long> wholeRequestMs{kWholeRequestMs};

}  // namespace wininet_internal

namespace {

using Clock = std::chrono::steady_clock;

using wininet_internal::connectTimeoutMs;
using wininet_internal::receiveTimeoutMs;
using wininet_internal::wholeRequestMs;

// Body bytes held for the caller before the transfer is paused: enough to
// serve many small reads per round of the transfer, small enough to keep a
// large body from piling up here.
constexpr std::size_t kPendingLimit = 256 * 1024;

// What the whole process shares: libcurl's global state and the cookie store.
struct Process {
  CURLSH* share = nullptr;
  std::mutex locks[CURL_LOCK_DATA_LAST];
};

void LockShare(CURL*, curl_lock_data data, curl_lock_access, void* user) {
  static_cast<Process*>(user)->locks[data].lock();
}

void UnlockShare(CURL*, curl_lock_data data, void* user) { static_cast<Process*>(user)->locks[data].unlock(); }

Process& TheProcess() {
  static std::once_flag once;
  static Process* process = nullptr;
  std::call_once(once, [] {
    curl_global_init(CURL_GLOBAL_DEFAULT);
    // Never freed: requests may still be running on other threads at exit.
    process = new Process;
    process->share = curl_share_init();
    curl_share_setopt(process->share, CURLSHOPT_LOCKFUNC, LockShare);
    curl_share_setopt(process->share, CURLSHOPT_UNLOCKFUNC, UnlockShare);
    curl_share_setopt(process->share, CURLSHOPT_USERDATA, process);
    curl_share_setopt(process->share, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
  });
  return *process;
}

enum class Kind { kInternet, kConnection, kRequest };

struct Handle {
  explicit Handle(Kind k) : kind(k) {}
  virtual ~Handle() = default;
  Kind kind;
};

struct ProxySettings {
  std::string http;   // HOST:PORT for http requests, empty for none
  std::string https;  // the same for https requests
};

struct Internet : Handle {
  Internet() : Handle(Kind::kInternet) {}
  std::string agent;
  ProxySettings proxy;
};

struct Connection : Handle {
  Connection() : Handle(Kind::kConnection) {}
  std::string agent;
  ProxySettings proxy;
  std::string host;
  INTERNET_PORT port = 0;
};

// The status code of a status line "HTTP/x.y NNN reason", or 0.
int StatusCode(std::string_view line) {
  const std::size_t space = line.find(' ');
  if (space == std::string_view::npos) return 0;
  int code = 0;
  for (std::size_t i = space + 1; i < line.size() && i < space + 4; ++i) {
    if (line[i] < '0' || line[i] > '9') return 0;
    code = code * 10 + (line[i] - '0');
  }
  return code;
}

// A header value ends at its first line break, so that no caller text can
// add header lines of its own to the request.
std::string UpToLineBreak(std::string_view value) { return std::string(value.substr(0, value.find_first_of("\r\n"))); }

// Bytes a URL must not carry as they are: the request line keeps every
// other byte of the path exactly as the caller wrote it.
std::string EscapePath(std::string_view path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(path.size());
  for (unsigned char c : path) {
    if (c <= 0x20 || c >= 0x7F) {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

struct Request : Handle {
  Request() : Handle(Kind::kRequest) {}
  ~Request() override {
    if (easy != nullptr) {
      if (added) curl_multi_remove_handle(multi, easy);
      curl_easy_cleanup(easy);
    }
    if (multi != nullptr) curl_multi_cleanup(multi);
    curl_slist_free_all(headerList);
    curl_slist_free_all(connectTo);
  }

  // Settings copied from the connection and the open call.
  std::string agent;
  ProxySettings proxy;
  std::string host;
  INTERNET_PORT port = 0;
  std::string verb;
  std::string path;
  std::string version;
  std::string referrer;
  DWORD flags = 0;

  CURL* easy = nullptr;
  CURLM* multi = nullptr;
  curl_slist* headerList = nullptr;
  curl_slist* connectTo = nullptr;
  bool added = false;
  bool sent = false;

  // The header block being received; replaced by each new response.
  std::string block;
  bool blockComplete = false;
  bool blockHasLocation = false;
  int blockStatus = 0;
  // Set once `block` is known to belong to the response whose body follows.
  bool headersFinal = false;

  std::vector<unsigned char> pending;
  std::size_t pendingOffset = 0;
  bool paused = false;

  bool done = false;
  CURLcode result = CURLE_OK;
  bool connected = false;
  curl_off_t uploaded = 0;
  unsigned long progress = 0;  // counts signs of life, to skip needless waits
  Clock::time_point lastActivity;  // the last sign of life

  bool FollowsRedirects() const { return (flags & INTERNET_FLAG_NO_AUTO_REDIRECT) == 0; }
  std::size_t PendingSize() const { return pending.size() - pendingOffset; }
  void Touch() {
    lastActivity = Clock::now();
    ++progress;
  }

  void OnHeaderLine(std::string_view line) {
    if (headersFinal) return;  // trailers of a chunked body
    Touch();
    if (line.substr(0, 5) == "HTTP/") {
      block.clear();
      blockComplete = false;
      blockHasLocation = false;
      blockStatus = StatusCode(line);
    }
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
    block.append(line);
    block.append("\r\n");
    if (!line.empty()) {
      // libcurl follows no blank Location, so neither does the block count one.
      if (AsciiStartsWithIgnoringCase(line, "location:") &&
          line.find_first_not_of(" \t", std::string_view("location:").size()) != std::string_view::npos) {
        blockHasLocation = true;
      }
      return;
    }
    blockComplete = true;
    // Interim responses and redirects that libcurl is about to follow are
    // not the response the caller reads.
    const bool interim = blockStatus >= 100 && blockStatus < 200;
    const bool followed = FollowsRedirects() && blockStatus >= 300 && blockStatus < 400 && blockHasLocation;
    if (!interim && !followed) headersFinal = true;
  }

  std::size_t OnBody(const char* data, std::size_t n) {
    if (!headersFinal) return n;  // the body of a response that is followed
    Touch();
    if (PendingSize() >= kPendingLimit) {
      paused = true;
      return CURL_WRITEFUNC_PAUSE;
    }
    if (pendingOffset == pending.size()) {
      pending.clear();
      pendingOffset = 0;
    }
    const auto* bytes = reinterpret_cast<const unsigned char*>(data);
    pending.insert(pending.end(), bytes, bytes + n);  // one copy in bulk, not a conversion per byte
    return n;
  }

  void Finish(CURLcode code) {
    if (done) return;
    done = true;
    result = code;
    curl_multi_remove_handle(multi, easy);
    added = false;
    // A response libcurl was expected to follow and did not is the last one.
    if (!headersFinal && blockComplete && code != CURLE_TOO_MANY_REDIRECTS) headersFinal = true;
  }

  // One round of the transfer: waits for the network only when the round
  // brought nothing.
  void Step() {
    const unsigned long before = progress;
    int running = 0;
    curl_multi_perform(multi, &running);
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(multi, &queued)) {
      if (message->msg == CURLMSG_DONE) Finish(message->data.result);
    }
    if (done || progress != before) return;
    long waitMs = 1000;
    if (connected) {
      const long limit = receiveTimeoutMs.load();
      const long idle = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - lastActivity).count();
      if (idle >= limit) {
        Finish(CURLE_OPERATION_TIMEDOUT);
        return;
      }
      waitMs = std::min(waitMs, limit - idle);
    }
    curl_multi_poll(multi, nullptr, 0, static_cast<int>(std::max(waitMs, 1L)), nullptr);
  }
};

template <class T>
T* As(HINTERNET handle, Kind kind) {
  auto* h = static_cast<Handle*>(handle);
  if (h == nullptr || h->kind != kind) return nullptr;
  return static_cast<T*>(h);
}

size_t HeaderCallback(char* data, size_t size, size_t count, void* user) {
  static_cast<Request*>(user)->OnHeaderLine(std::string_view(data, size * count));
  return size * count;
}

size_t WriteCallback(char* data, size_t size, size_t count, void* user) {
  return static_cast<Request*>(user)->OnBody(data, size * count);
}

// Upload progress counts as activity, so a slow body upload is not taken
// for a silent server.
int ProgressCallback(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t uploaded) {
  auto* request = static_cast<Request*>(user);
  if (uploaded != request->uploaded) {
    request->uploaded = uploaded;
    request->Touch();
  }
  return 0;
}

// Called once the connection stands: from now on silence counts.
int ConnectedCallback(void* user, char*, char*, int, int) {
  auto* request = static_cast<Request*>(user);
  request->connected = true;
  request->Touch();
  return CURL_PREREQFUNC_OK;
}

ProxySettings ParseProxyList(const char* list) {
  ProxySettings settings;
  if (list == nullptr) return settings;
  std::string_view rest(list);
  while (!rest.empty()) {
    const std::size_t end = rest.find_first_of(" ;");
    std::string_view entry = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    if (entry.empty()) continue;
    const std::size_t equals = entry.find('=');
    if (equals == std::string_view::npos) {
      settings.http = settings.https = std::string(entry);
    } else if (AsciiStartsWithIgnoringCase(entry.substr(0, equals), "https") && equals == 5) {
      settings.https = std::string(entry.substr(equals + 1));
    } else if (AsciiStartsWithIgnoringCase(entry.substr(0, equals), "http") && equals == 4) {
      settings.http = std::string(entry.substr(equals + 1));
    }
  }
  return settings;
}

curl_slist* ConnectToList() {
  const char* value = std::getenv("QUORVANE_CONNECT_TO");
  if (value == nullptr) return nullptr;
  curl_slist* list = nullptr;
  std::string_view rest(value);
  while (!rest.empty()) {
    const std::size_t comma = rest.find(',');
    const std::string entry(rest.substr(0, comma));
    rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
    if (!entry.empty()) list = curl_slist_append(list, entry.c_str());
  }
  return list;
}

bool Configure(Request& r, const char* headers, DWORD headersLength, const void* body, DWORD bodyLength) {
  r.easy = curl_easy_init();
  r.multi = curl_multi_init();
  if (r.easy == nullptr || r.multi == nullptr) return false;
  CURL* e = r.easy;
  const bool secure = (r.flags & INTERNET_FLAG_SECURE) != 0;

  std::string host = r.host;
  if (host.find(':') != std::string::npos && host.front() != '[') host = "[" + host + "]";
  std::string url = secure ? "https://" : "http://";
  url += host;
  if (r.port != INTERNET_DEFAULT_PORT) url += ":" + std::to_string(r.port);
  url += EscapePath(r.path.empty() || r.path.front() != '/' ? "/" + r.path : r.path);
  curl_easy_setopt(e, CURLOPT_URL, url.c_str());
  curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(e, CURLOPT_HTTP_VERSION,
                   r.version == "HTTP/1.0" ? CURL_HTTP_VERSION_1_0 : CURL_HTTP_VERSION_1_1);
  if (!r.agent.empty()) curl_easy_setopt(e, CURLOPT_USERAGENT, r.agent.c_str());
  if (!r.referrer.empty()) curl_easy_setopt(e, CURLOPT_REFERER, r.referrer.c_str());

  // Only the handle's own proxy counts, never the environment's.
  const std::string& proxy = secure ? r.proxy.https : r.proxy.http;
  curl_easy_setopt(e, CURLOPT_PROXY, proxy.empty() ? "" : ("http://" + proxy).c_str());
  curl_easy_setopt(e, CURLOPT_NOPROXY, "");
  curl_easy_setopt(e, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
  r.connectTo = ConnectToList();
  if (r.connectTo != nullptr) curl_easy_setopt(e, CURLOPT_CONNECT_TO, r.connectTo);
  curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, connectTimeoutMs.load());
  curl_easy_setopt(e, CURLOPT_TIMEOUT_MS, wholeRequestMs.load());

  const bool follow = r.FollowsRedirects();
  curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, follow ? 1L : 0L);
  curl_easy_setopt(e, CURLOPT_MAXREDIRS, 10L);
  curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  if ((r.flags & INTERNET_FLAG_NO_COOKIES) == 0) {
    curl_easy_setopt(e, CURLOPT_SHARE, TheProcess().share);
    curl_easy_setopt(e, CURLOPT_COOKIEFILE, "");  // switches the cookie engine on, in memory
  }

  std::string_view text;
  if (headers != nullptr) {
    text = headersLength == static_cast<DWORD>(-1) ? std::string_view(headers)
                                                    : std::string_view(headers, headersLength);
  }
  while (!text.empty()) {
    const std::size_t end = text.find("\r\n");
    const std::string line = UpToLineBreak(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 2);
    if (!line.empty()) r.headerList = curl_slist_append(r.headerList, line.c_str());
  }

  const bool hasBody = body != nullptr || r.verb == "POST";
  if (hasBody) r.headerList = curl_slist_append(r.headerList, "Expect:");
  if (r.headerList != nullptr) curl_easy_setopt(e, CURLOPT_HTTPHEADER, r.headerList);

  // POST is left to libcurl so that redirects change it the usual way; any
  // other verb is sent as it stands, on redirects too.
  if (hasBody) {
    curl_easy_setopt(e, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body != nullptr ? bodyLength : 0));
    curl_easy_setopt(e, CURLOPT_COPYPOSTFIELDS, body != nullptr ? static_cast<const char*>(body) : "");
    if (r.verb != "POST") curl_easy_setopt(e, CURLOPT_CUSTOMREQUEST, r.verb.c_str());
  } else if (r.verb == "HEAD") {
    curl_easy_setopt(e, CURLOPT_NOBODY, 1L);
  } else {
    curl_easy_setopt(e, CURLOPT_HTTPGET, 1L);
    if (r.verb != "GET") curl_easy_setopt(e, CURLOPT_CUSTOMREQUEST, r.verb.c_str());
  }

  curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, HeaderCallback);
  curl_easy_setopt(e, CURLOPT_HEADERDATA, &r);
  curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, WriteCallback);
  curl_easy_setopt(e, CURLOPT_WRITEDATA, &r);
  curl_easy_setopt(e, CURLOPT_XFERINFOFUNCTION, ProgressCallback);
  curl_easy_setopt(e, CURLOPT_XFERINFODATA, &r);
  curl_easy_setopt(e, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(e, CURLOPT_PREREQFUNCTION, ConnectedCallback);
  curl_easy_setopt(e, CURLOPT_PREREQDATA, &r);
  curl_easy_setopt(e, CURLOPT_BUFFERSIZE, 128L * 1024L);
  return curl_multi_add_handle(r.multi, e) == CURLM_OK;
}

}  // namespace

HINTERNET InternetOpenA(const char* agent, DWORD accessType, const char* proxy, const char*, DWORD) {
  TheProcess();
  auto* internet = new Internet;
  if (agent != nullptr) internet->agent = UpToLineBreak(agent);
  if (accessType == INTERNET_OPEN_TYPE_PROXY) internet->proxy = ParseProxyList(proxy);
  return static_cast<Handle*>(internet);
}

HINTERNET InternetConnectA(HINTERNET internetHandle, const char* serverName, INTERNET_PORT port, const char*,
                           const char*, DWORD service, DWORD, DWORD_PTR) {
  auto* internet = As<Internet>(internetHandle, Kind::kInternet);
  if (internet == nullptr || serverName == nullptr || *serverName == '\0' || service != INTERNET_SERVICE_HTTP)
    return nullptr;
  auto* connection = new Connection;
  connection->agent = internet->agent;
  connection->proxy = internet->proxy;
  connection->host = serverName;
  connection->port = port;
  return static_cast<Handle*>(connection);
}

HINTERNET HttpOpenRequestA(HINTERNET connectionHandle, const char* verb, const char* objectName,
                           const char* version, const char* referrer, const char**, DWORD flags, DWORD_PTR) {
  auto* connection = As<Connection>(connectionHandle, Kind::kConnection);
  if (connection == nullptr) return nullptr;
  auto* request = new Request;
  request->agent = connection->agent;
  request->proxy = connection->proxy;
  request->host = connection->host;
  request->port = connection->port;
  request->verb = verb != nullptr && *verb != '\0' ? verb : "GET";
  request->path = objectName != nullptr ? objectName : "/";
  request->version = version != nullptr ? version : "HTTP/1.1";
  if (referrer != nullptr) request->referrer = UpToLineBreak(referrer);
  request->flags = flags;
  return static_cast<Handle*>(request);
}

BOOL HttpSendRequestA(HINTERNET requestHandle, const char* headers, DWORD headersLength, void* optional,
                      DWORD optionalLength) {
  auto* r = As<Request>(requestHandle, Kind::kRequest);
  if (r == nullptr || r->sent) return 0;
  r->sent = true;
  if (!Configure(*r, headers, headersLength, optional, optionalLength)) {
    r->done = true;
    r->result = CURLE_FAILED_INIT;
    return 0;
  }
  r->added = true;
  r->Touch();
  while (!r->headersFinal && !r->done) r->Step();
  return r->headersFinal ? 1 : 0;
}

BOOL InternetReadFile(HINTERNET requestHandle, void* buffer, DWORD toRead, DWORD* read) {
  if (read != nullptr) *read = 0;
  auto* r = As<Request>(requestHandle, Kind::kRequest);
  if (r == nullptr || read == nullptr || (buffer == nullptr && toRead > 0) || !r->headersFinal) return 0;
  if (toRead == 0) return 1;
  for (;;) {
    if (r->PendingSize() > 0) {
      const std::size_t n = std::min<std::size_t>(toRead, r->PendingSize());
      std::memcpy(buffer, r->pending.data() + r->pendingOffset, n);
      r->pendingOffset += n;
      *read = static_cast<DWORD>(n);
      return 1;
    }
    if (r->done) return r->result == CURLE_OK ? 1 : 0;
    if (r->paused) {
      r->paused = false;
      r->Touch();
      curl_easy_pause(r->easy, CURLPAUSE_CONT);  // may hand over held data at once
      continue;
    }
    r->Step();
  }
}

BOOL HttpQueryInfoA(HINTERNET requestHandle, DWORD infoLevel, void* buffer, DWORD* bufferLength, DWORD*) {
  auto* r = As<Request>(requestHandle, Kind::kRequest);
  if (r == nullptr || bufferLength == nullptr || infoLevel != HTTP_QUERY_RAW_HEADERS_CRLF || !r->headersFinal)
    return 0;
  const std::size_t needed = r->block.size() + 1;
  if (buffer == nullptr || *bufferLength < needed) {
    *bufferLength = static_cast<DWORD>(needed);
    return 0;
  }
  std::memcpy(buffer, r->block.data(), r->block.size());
  static_cast<char*>(buffer)[r->block.size()] = '\0';
  *bufferLength = static_cast<DWORD>(r->block.size());
  return 1;
}

BOOL InternetCloseHandle(HINTERNET handle) {
  auto* h = static_cast<Handle*>(handle);
  if (h == nullptr) return 0;
  delete h;
  return 1;
}
