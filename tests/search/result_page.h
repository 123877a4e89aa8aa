// Result pages in the shape the scraper reads, built from the records they
// list, for tests that serve them to a search run.
//
//   std::string page = ResultPage({{"甲.txt", "1 MB", "张三", "http://pan.quorvane.example/s/1"}});
//   ResultPage({})   // a page of the right shape that lists nothing
//
// Texts are code page 936, line ends CRLF.
#pragma once

#include <string>
#include <vector>

struct TestRecord {
  std::string name;
  std::string size;  // empty for a folder
  std::string sharer;
  std::string link;
};

// A result page listing `records` in order; `keyword` is the highlighted
// part of every title, as the site marks the searched word.
std::string ResultPage(const std::vector<TestRecord>& records, const std::string& keyword = "kw");
