// Fuzzes the response path whole: the input is every byte a server answers
// (status line, header block, body, chunked or not, cut anywhere), served
// over loopback to FetchPage; the body then goes through the scrape of the
// result page, as a search run does with it.
//
// One loopback server (the tests' own) lives as long as the fuzzer. Every
// connection, whatever host and port the request named (redirects
// included), is sent to it; it reads the request, answers with the input
// and closes, so the end of the input is the end of the response. Short
// time-outs keep a response that promises more than it holds from stalling
// the run, and the client's end of every connection ends the server's.
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <string>

#include "http/fetch.h"
#include "loopback_server.h"
#include "platform/wininet.h"
#include "platform/wininet_testing.h"
#include "search/scrape.h"
#include "text/byte_set.h"

namespace {

// What every connection gets: the current input.
struct Input {
  std::mutex mutex;
  std::string bytes;
};

Input& TheInput() {
  static Input* input = new Input;
  return *input;
}

LoopbackServer& TheServer() {
  static LoopbackServer* server = [] {
    auto* s = new LoopbackServer([](Connection& c) {
      if (!c.ReadRequest()) return;
      std::string reply;
      {
        std::lock_guard<std::mutex> lock(TheInput().mutex);
        reply = TheInput().bytes;
      }
      c.Send(reply);
    });
    // Any host, any port: redirects to elsewhere come back here too.
    RouteToLoopback(":", s->port());
    InternetSetTimeoutsForTesting(1000, 300, 1000);
    return s;
  }();
  return *server;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  LoopbackServer& server = TheServer();
  {
    std::lock_guard<std::mutex> lock(TheInput().mutex);
    TheInput().bytes.assign(reinterpret_cast<const char*>(data), size);
  }
  // What came before this input is of no further use.
  server.ForgetRequests();
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
