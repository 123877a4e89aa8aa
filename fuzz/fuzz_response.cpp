// Fuzzes the response path whole: the input is every byte a server answers
// (status line, header block, body, chunked or not, cut anywhere), served
// over loopback to FetchPage; the body then goes through the scrape of the
// result page, as a search run does with it.
//
// One listener on 127.0.0.1 lives as long as the fuzzer. Every connection,
// whatever host and port the request named (redirects included), is sent to
// it; it reads the request head, answers with the input and closes, so the
// end of the input is the end of the response. Short time-outs keep a
// response that promises more than it holds from stalling the run.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

#include "http/fetch.h"
#include "platform/wininet.h"
#include "platform/wininet_testing.h"
#include "search/scrape.h"
#include "text/byte_set.h"

namespace {

struct Listener {
  int fd = -1;
  int port = 0;
  std::mutex mutex;
  std::string reply;  // what every connection gets, the current input
};

// Reads the request head, or gives up after a short silence.
void ReadHead(int fd) {
  std::string head;
  char buffer[4096];
  while (head.find("\r\n\r\n") == std::string::npos) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 1000) <= 0) return;
    const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) return;
    head.append(buffer, static_cast<std::size_t>(n));
  }
}

// One connection: the head of the request in, the reply out, then the end.
void Answer(int fd, const std::string& reply) {
  const timeval limit{1, 0};
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
  ReadHead(fd);
  for (std::size_t sent = 0; sent < reply.size();) {
    const ssize_t n = send(fd, reply.data() + sent, reply.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) break;
    sent += static_cast<std::size_t>(n);
  }
  // End of the input, end of the response: a FIN, after which whatever the
  // client still sends is read and dropped, so the close sends no reset
  // that could overtake the answer.
  shutdown(fd, SHUT_WR);
  char drain[4096];
  pollfd p{fd, POLLIN, 0};
  while (poll(&p, 1, 200) > 0 && recv(fd, drain, sizeof drain, 0) > 0) {
  }
  close(fd);
}

// Each connection on a thread of its own, so that one the client keeps open
// (a redirect's earlier connection) never holds up the next.
void Serve(Listener& listener) {
  for (;;) {
    const int fd = accept(listener.fd, nullptr, nullptr);
    if (fd < 0) continue;
    std::string reply;
    {
      std::lock_guard<std::mutex> lock(listener.mutex);
      reply = listener.reply;
    }
    std::thread(Answer, fd, std::move(reply)).detach();
  }
}

Listener& TheListener() {
  static Listener* listener = [] {
    auto* l = new Listener;
    l->fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(l->fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(l->fd, 64) != 0) abort();
    socklen_t length = sizeof address;
    getsockname(l->fd, reinterpret_cast<sockaddr*>(&address), &length);
    l->port = ntohs(address.sin_port);
    // Any host, any port: redirects to elsewhere come back here too.
    const std::string route = "::127.0.0.1:" + std::to_string(l->port);
    setenv("QUORVANE_CONNECT_TO", route.c_str(), 1);
    InternetSetTimeoutsForTesting(1000, 300, 1000);
    std::thread([l] { Serve(*l); }).detach();
    return l;
  }();
  return *listener;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Listener& listener = TheListener();
  {
    std::lock_guard<std::mutex> lock(listener.mutex);
    listener.reply.assign(reinterpret_cast<const char*>(data), size);
  }
  // The search run's own call: a GET of the query address, nothing else.
  const Text url = "http://share.test/?q=%E4%B8%AD&page=1&by=prev";
  Text pageText;
  {
    const ByteSet body = FetchPage(url, 0);
    pageText = ByteSetToText(body);
  }
  const TextArray entries = ExtractResultEntries(pageText);
  for (const Text& entry : entries) {
    const ResultRecord record = ParseResultEntry(entry);
    (void)record;
  }
  return 0;
}
