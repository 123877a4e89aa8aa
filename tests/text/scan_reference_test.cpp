// The fast scans against a plain character walk, on random texts rich in
// lead bytes, ASCII letters of both cases and cut-off endings, and on texts
// where the sub-text nearly matches at every byte.
#include <gtest/gtest.h>

#include <iterator>
#include <random>
#include <string>
#include <vector>

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

// The last character start of the whole walk at which `s` matches.
int ReferenceFindReverse(const std::string& t, const std::string& s, bool fold) {
  int found = -1;
  for (std::size_t p = 0; p < t.size();) {
    if (t.size() - p >= s.size() && SameAt(t, p, s, fold)) found = static_cast<int>(p + 1);
    if (static_cast<Byte>(t[p]) >= 0x80) {
      if (p + 1 >= t.size()) break;
      p += 2;
    } else {
      p += 1;
    }
  }
  return found;
}

// The walk from `start`, replacing up to `count` matches (negative: all).
std::string ReferenceReplace(const std::string& t, const std::string& f, const std::string& r, bool fold,
                             int start = 1, int count = -1) {
  const std::size_t begin = start > 1 ? static_cast<std::size_t>(start - 1) : 0;
  if (t.empty() || begin >= t.size() || count == 0) return t;
  std::string out = t.substr(0, begin);
  for (std::size_t p = begin; p < t.size();) {
    if (t.size() - p < f.size()) return out + t.substr(p);
    if (SameAt(t, p, f, fold)) {
      out += r;
      p += f.size();
      if (count > 0 && --count == 0) return out + t.substr(p);
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

// Splitting follows the same walk: a delimiter is cut out only at a
// character start, and a cut-off lead stays in the last element.
std::vector<std::string> ReferenceSplit(const std::string& text, const std::string& sub) {
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
  return ref;
}

// Every scan of `text` for `sub` (not empty) against the plain walk; the
// first difference, or the empty string.
std::string Disagreement(const std::string& text, const std::string& sub) {
  for (bool fold : {false, true}) {
    const std::string mode = fold ? " (case folded)" : " (exact)";
    for (int start : {0, 1, 2, 5}) {
      const std::size_t from = start > 1 ? static_cast<std::size_t>(start - 1) : 0;
      const int expected = from >= text.size() ? -1 : ReferenceFind(text, sub, from, fold);
      if (FindText(text, sub, start, fold) != expected) return "FindText from " + std::to_string(start) + mode;
    }
    if (FindTextReverse(text, sub, fold) != (text.empty() ? -1 : ReferenceFindReverse(text, sub, fold))) {
      return "FindTextReverse" + mode;
    }
    const struct {
      int start;
      int count;
    } replaces[] = {{1, -1}, {2, 1}, {4, 2}};
    for (const auto& r : replaces) {
      if (std::string(ReplaceSubtext(text, sub, "#", r.start, r.count, !fold)) !=
          ReferenceReplace(text, sub, "#", fold, r.start, r.count)) {
        return "ReplaceSubtext from " + std::to_string(r.start) + " count " + std::to_string(r.count) + mode;
      }
    }
  }
  const TextArray parts = SplitText(text, sub);
  if (std::vector<std::string>(parts.begin(), parts.end()) != ReferenceSplit(text, sub)) return "SplitText";
  return {};
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
    ASSERT_EQ(Disagreement(text, sub), "") << "text " << text << " sub " << sub;
  }
}

// Near-matches everywhere: long runs of one letter in both cases, broken
// now and then by another byte, searched for with sub-texts that are runs
// themselves or repeat a short unit (so that a failed comparison can go on
// from a partial match). Lead bytes shift the character starts.
std::string RunsText(std::mt19937& rng, std::size_t maxLength, const std::string& unit) {
  static const Byte breaks[] = {'b', 'B', 0xC1, 0xA1, 'a', 'A'};
  std::uniform_int_distribution<std::size_t> length(0, maxLength);
  std::uniform_int_distribution<int> percent(0, 99);
  std::uniform_int_distribution<std::size_t> pickBreak(0, sizeof breaks - 1);
  std::string t(length(rng), ' ');
  for (std::size_t i = 0; i < t.size(); ++i) {
    Byte b = static_cast<Byte>(unit[i % unit.size()]);
    const int r = percent(rng);
    if (r < 8) b = breaks[pickBreak(rng)];
    if (r >= 80 && b >= 'a' && b <= 'z') b = static_cast<Byte>(b - 0x20);
    t[i] = static_cast<char>(b);
  }
  return t;
}

TEST(ScanReferenceTest, NearMatchesEverywhereAgreeWithAPlainWalk) {
  std::mt19937 rng(4242);
  static const std::string units[] = {"a", "ab", "aab", "a\xC1", "\xC1" "a", "aA\xB0"};
  std::uniform_int_distribution<std::size_t> pickUnit(0, std::size(units) - 1);
  for (int round = 0; round < 10000; ++round) {
    const std::string& unit = units[pickUnit(rng)];
    // Now and then a sub-text of more than 32 bytes, over a longer text.
    const bool longSub = round % 4 == 0;
    const std::string text = RunsText(rng, longSub ? 96 : 48, unit);
    std::string sub = RunsText(rng, longSub ? 40 : 12, unit);
    if (sub.empty()) sub = unit;
    ASSERT_EQ(Disagreement(text, sub), "") << "text " << text << " sub " << sub;
  }
}

}  // namespace
