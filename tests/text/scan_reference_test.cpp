// The fast scans against a plain character walk, on random texts rich in
// lead bytes, ASCII letters of both cases and cut-off endings.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "text/text_ops.h"

namespace {

using Byte = unsigned char;

Byte Fold(Byte b) { return (b >= 'A' && b <= 'Z') ? static_cast<Byte>(b + 0x20) : b; }

bool SameAt(const std::string& t, std::size_t p, const std::string& s, bool fold) {
  for (std::size_t i = 0; i < s.size(); ++i) {
    Byte a = static_cast<Byte>(t[p + i]), b = static_cast<Byte>(s[i]);
    if (fold ? Fold(a) != Fold(b) : a != b) return false;
  }
  return true;
}

// Every character start from `from`, comparison first, a cut-off lead last.
int ReferenceFind(const std::string& t, const std::string& s, std::size_t from, bool fold) {
  for (std::size_t p = from; p < t.size();) {
    if (t.size() - p >= s.size() && SameAt(t, p, s, fold)) return static_cast<int>(p + 1);
    if (static_cast<Byte>(t[p]) >= 0x80) {
      if (p + 1 >= t.size()) break;
      p += 2;
    } else {
      p += 1;
    }
  }
  return -1;
}

std::string ReferenceReplace(const std::string& t, const std::string& f, const std::string& r, bool fold) {
  std::string out;
  for (std::size_t p = 0; p < t.size();) {
    if (t.size() - p < f.size()) return out + t.substr(p);
    if (SameAt(t, p, f, fold)) {
      out += r;
      p += f.size();
      continue;
    }
    if (static_cast<Byte>(t[p]) >= 0x80) {
      if (p + 1 >= t.size()) return out;
      out += t.substr(p, 2);
      p += 2;
    } else {
      out += t[p];
      p += 1;
    }
  }
  return out;
}

std::string RandomText(std::mt19937& rng, std::size_t maxLength) {
  static const Byte alphabet[] = {'a', 'A', 'b', 'B', ',', ' ', 0xB0, 0xA1, 0xC3, 0x41};
  std::uniform_int_distribution<std::size_t> length(0, maxLength);
  std::uniform_int_distribution<std::size_t> pick(0, sizeof alphabet - 1);
  std::string t(length(rng), ' ');
  for (char& c : t) c = static_cast<char>(alphabet[pick(rng)]);
  return t;
}

TEST(ScanReferenceTest, FindReplaceAndSplitAgreeWithAPlainWalk) {
  std::mt19937 rng(12345);
  for (int round = 0; round < 20000; ++round) {
    const std::string text = RandomText(rng, 24);
    std::string sub = RandomText(rng, 3);
    if (sub.empty()) sub = "a";
    const bool fold = round % 2 == 0;
    for (int start : {0, 1, 2, 5}) {
      std::size_t from = start > 1 ? static_cast<std::size_t>(start - 1) : 0;
      int expected = from >= text.size() ? -1 : ReferenceFind(text, sub, from, fold);
      ASSERT_EQ(FindText(text, sub, start, fold), expected) << "text " << text << " sub " << sub;
    }
    ASSERT_EQ(std::string(ReplaceSubtext(text, sub, "#", 1, -1, !fold)),
              text.empty() ? text : ReferenceReplace(text, sub, "#", fold))
        << "text " << text << " sub " << sub;

    // Splitting follows the same walk: a delimiter is cut out only at a
    // character start, and a cut-off lead stays in the last element.
    TextArray parts = SplitText(text, sub);
    {
      std::string cur;
      std::vector<std::string> ref;
      for (std::size_t p = 0; p < text.size();) {
        if (text.size() - p >= sub.size() && SameAt(text, p, sub, false)) {
          ref.push_back(cur);
          cur.clear();
          p += sub.size();
          continue;
        }
        std::size_t step = static_cast<Byte>(text[p]) >= 0x80 ? 2 : 1;
        if (step == 2 && p + 1 >= text.size()) {
          cur += text.substr(p);
          break;
        }
        cur += text.substr(p, step);
        p += step;
      }
      if (!cur.empty()) ref.push_back(cur);
      ASSERT_EQ(parts.size(), ref.size()) << "text " << text << " sub " << sub;
      for (std::size_t i = 0; i < ref.size(); ++i) ASSERT_EQ(std::string(parts[i]), ref[i]);
    }
  }
}

}  // namespace
