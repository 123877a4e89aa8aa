// Fuzzes the whole scrape of a result page: ExtractResultEntries, then
// ParseResultEntry of every entry, as a search run does with each page.
#include <cstdint>
#include <string_view>

#include "search/scrape.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view page(reinterpret_cast<const char*>(data), size);
  const TextArray entries = ExtractResultEntries(page);
  for (const Text& entry : entries) {
    const ResultRecord record = ParseResultEntry(entry);
    (void)record;
  }
  return 0;
}
