// The text primitives. The scanning ones share one character walk: a byte of
// 0x80 or above starts a two-byte character whatever follows it.
#include "text/text_ops.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

using Byte = unsigned char;

constexpr Byte kFullWidthSpaceByte = 0xA1;  // the full-width space is A1 A1

inline Byte At(TextView t, std::size_t i) { return static_cast<Byte>(t[i]); }
inline bool IsLeadByte(Byte b) { return b >= 0x80; }
inline Byte FoldAscii(Byte b) { return (b >= 'A' && b <= 'Z') ? static_cast<Byte>(b + 0x20) : b; }

constexpr std::size_t kNone = static_cast<std::size_t>(-1);

// Where the run of lead bytes that ends just before c begins, looking no
// further back than `from`. The position after any byte below 0x80 is a
// character start (that byte is either a character or a second byte), so c
// is a character start exactly when the run has an even length.
inline bool IsCharacterStart(TextView text, std::size_t from, std::size_t c) {
  std::size_t k = c;
  while (k > from && IsLeadByte(At(text, k - 1))) --k;
  return (c - k) % 2 == 0;
}

// Whether the text's last byte is a lead byte that a walk from `from` meets
// as a character start.
inline bool IsCutOffFrom(TextView text, std::size_t from) {
  const std::size_t last = text.size() - 1;
  return last >= from && IsLeadByte(At(text, last)) && IsCharacterStart(text, from, last);
}

// A sub-text (not empty) made ready for a search that reads every byte of the
// text once, whatever the text and the sub-text: the Knuth-Morris-Pratt
// automaton over bytes, letter case folded when asked. Comparing the sub-text
// at each candidate instead costs the sub-text's length per candidate, and a
// sub-text that nearly matches everywhere ("a" many times, then "b", over a
// text of "a") makes that the product of the two lengths.
struct Pattern {
  TextView sub;
  bool foldCase = false;
  // Border(i): the length of the longest proper prefix of the first i + 1
  // bytes that is also their suffix (compared folded when folding). Kept in
  // place for the short sub-texts that are the rule, so that a search costs
  // no allocation; a longer one has storage of its own.
  static constexpr std::size_t kShort = 32;
  std::size_t shortBorder[kShort];
  std::vector<std::size_t> longBorder;
  // The byte a match starts with, and its other letter case when folding
  // (the same byte otherwise).
  Byte first = 0;
  Byte firstOther = 0;

  std::size_t Border(std::size_t i) const { return sub.size() <= kShort ? shortBorder[i] : longBorder[i]; }
  Byte Key(Byte b) const { return foldCase ? FoldAscii(b) : b; }
  Byte KeyAt(std::size_t i) const { return Key(At(sub, i)); }
};

Pattern MakePattern(TextView sub, bool foldCase) {
  Pattern p;
  p.sub = sub;
  p.foldCase = foldCase;
  if (sub.size() > Pattern::kShort) p.longBorder.resize(sub.size());
  std::size_t* border = sub.size() > Pattern::kShort ? p.longBorder.data() : p.shortBorder;
  border[0] = 0;
  for (std::size_t i = 1, k = 0; i < sub.size(); ++i) {
    const Byte b = p.KeyAt(i);
    while (k > 0 && p.KeyAt(k) != b) k = border[k - 1];
    if (p.KeyAt(k) == b) ++k;
    border[i] = k;
  }
  p.first = At(sub, 0);
  p.firstOther = p.first;
  if (foldCase && p.first >= 'a' && p.first <= 'z') p.firstOther = static_cast<Byte>(p.first - 0x20);
  if (foldCase && p.first >= 'A' && p.first <= 'Z') p.firstOther = static_cast<Byte>(p.first + 0x20);
  return p;
}

// One search through one text, left to right, that goes on where it stopped:
// a run of searches over the same text (ReplaceSubtext, SplitText,
// FindTextReverse) reads each byte once in all.
//
// While nothing of the sub-text is matched the search skips with memchr to
// the next byte that can start a match. Where each byte value occurs next is
// remembered, so a byte that is rare (the other letter case of the first
// byte, say) is looked for once, not once per match.
struct Search {
  TextView text;
  const Pattern& pattern;
  std::size_t pos = 0;      // the next byte to read
  std::size_t matched = 0;  // how many bytes of the sub-text end just before pos
  std::size_t walk = 0;     // a character start of the walk, at or before the next match
  std::size_t nextFirst = kNone;  // where pattern.first occurs next, when at or after pos
  std::size_t nextOther = kNone;  // the same for pattern.firstOther
};

// The last offset a match can start at, kNone when the sub-text is longer
// than the text.
inline std::size_t LastStart(const Search& s) {
  return s.text.size() < s.pattern.sub.size() ? kNone : s.text.size() - s.pattern.sub.size();
}

// The next offset at or after `from` (not beyond `last`) that holds `b`.
inline std::size_t NextByte(TextView text, Byte b, std::size_t from, std::size_t last) {
  if (last == kNone || from > last) return kNone;
  const void* hit = std::memchr(text.data() + from, b, last - from + 1);
  return hit == nullptr ? kNone : static_cast<std::size_t>(static_cast<const char*>(hit) - text.data());
}

// Goes on at `from`, at or after where the search stopped, which the walk
// takes as a character start; nothing before it matches any more.
void SearchFrom(Search& s, std::size_t from) {
  s.pos = from;
  s.matched = 0;
  s.walk = from;
}

Search StartSearch(TextView text, const Pattern& pattern, std::size_t from) {
  Search s{text, pattern};
  SearchFrom(s, from);
  const std::size_t last = LastStart(s);
  s.nextFirst = NextByte(text, pattern.first, from, last);
  s.nextOther = pattern.firstOther == pattern.first ? kNone : NextByte(text, pattern.firstOther, from, last);
  return s;
}

// The offset of the next match that starts at a character start of the walk,
// or kNone. Matches may overlap the one found before; call SearchFrom to go
// on after a match instead.
std::size_t NextMatch(Search& s) {
  const Pattern& p = s.pattern;
  const std::size_t m = p.sub.size();
  const std::size_t last = LastStart(s);
  if (last == kNone) return kNone;
  const TextView text = s.text;
  if (s.matched == m) s.matched = p.Border(m - 1);
  while (true) {
    if (s.matched == 0) {
      if (s.pos > last) return kNone;
      // kNone lies beyond every position, so a byte found nowhere is not
      // looked for again.
      if (s.nextFirst < s.pos) s.nextFirst = NextByte(text, p.first, s.pos, last);
      if (s.nextOther < s.pos) s.nextOther = NextByte(text, p.firstOther, s.pos, last);
      const std::size_t c = std::min(s.nextFirst, s.nextOther);
      if (c == kNone) {
        s.pos = text.size();
        return kNone;
      }
      s.pos = c + 1;
      s.matched = 1;
    } else {
      // Too few bytes left to finish any match.
      if (text.size() - s.pos < m - s.matched) return kNone;
      const Byte b = p.Key(At(text, s.pos));
      while (s.matched > 0 && p.KeyAt(s.matched) != b) s.matched = p.Border(s.matched - 1);
      if (p.KeyAt(s.matched) == b) ++s.matched;
      ++s.pos;
    }
    if (s.matched == m) {
      const std::size_t c = s.pos - m;
      const bool isStart = IsCharacterStart(text, s.walk, c);
      // c starts a character, or else c - 1 did and c + 1 starts the next one.
      s.walk = isStart ? c : c + 1;
      if (isStart) return c;
      s.matched = p.Border(m - 1);
    }
  }
}

// Length of the space character at p (1 or 2), or 0 when there is none.
inline std::size_t SpaceAt(TextView t, std::size_t p) {
  if (At(t, p) == ' ') return 1;
  if (At(t, p) == kFullWidthSpaceByte && p + 1 < t.size() && At(t, p + 1) == kFullWidthSpaceByte) return 2;
  return 0;
}

inline Text Slice(TextView t, std::size_t from, std::size_t count) { return Text(t.substr(from, count)); }

}  // namespace

int TextLength(TextView text) { return static_cast<int>(text.size()); }

int CompareText(TextView a, TextView b) {
  int c = a.compare(b);  // char_traits<char>::compare compares as unsigned char
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

Text TextLeft(TextView text, int n) {
  if (n <= 0) return {};
  return Slice(text, 0, static_cast<std::size_t>(n));
}

Text TextRight(TextView text, int n) {
  if (n <= 0) return {};
  std::size_t count = std::min(static_cast<std::size_t>(n), text.size());
  return Slice(text, text.size() - count, count);
}

Text TextMid(TextView text, int start, int n) {
  if (start < 1 || static_cast<std::size_t>(start) > text.size() || n <= 0) return {};
  return Slice(text, static_cast<std::size_t>(start - 1), static_cast<std::size_t>(n));
}

int FindText(TextView text, TextView sub, int start, bool ignoreCase) {
  const std::size_t begin = start > 1 ? static_cast<std::size_t>(start - 1) : 0;
  if (begin >= text.size()) return -1;
  if (sub.empty()) return 1;
  const Pattern pattern = MakePattern(sub, ignoreCase);
  Search search = StartSearch(text, pattern, begin);
  const std::size_t p = NextMatch(search);
  return p == kNone ? -1 : static_cast<int>(p + 1);
}

int FindTextReverse(TextView text, TextView sub, bool ignoreCase) {
  if (text.empty()) return -1;
  if (sub.empty()) return 1;
  // Every match of the walk in turn, overlapping ones too: the last one
  // counts.
  const Pattern pattern = MakePattern(sub, ignoreCase);
  Search search = StartSearch(text, pattern, 0);
  std::size_t found = kNone;
  for (std::size_t q = NextMatch(search); q != kNone; q = NextMatch(search)) found = q;
  return found == kNone ? -1 : static_cast<int>(found + 1);
}

Text ReplaceSubtext(TextView text, TextView find, TextView replacement, int start, int count, bool respectCase) {
  if (start < 1) start = 1;
  const std::size_t begin = static_cast<std::size_t>(start - 1);
  if (text.empty() || find.empty() || begin >= text.size() || count == 0) return Text(text);

  const std::size_t n = text.size();
  Text out(text.substr(0, begin));
  out.reserve(text.size());
  const Pattern pattern = MakePattern(find, !respectCase);
  Search search = StartSearch(text, pattern, begin);
  std::size_t p = begin;  // a character start; everything before it is in `out`
  int left = count;       // negative: no limit
  while (n - p >= find.size()) {
    const std::size_t q = NextMatch(search);
    if (q == kNone) {
      // The walk would drop a cut-off character it reaches while the search
      // text still fits, which happens only for a one-byte search text.
      if (find.size() == 1 && IsCutOffFrom(text, p)) return out.append(text.substr(p, n - 1 - p));
      break;
    }
    out.append(text.substr(p, q - p));
    out.append(replacement);
    p = q + find.size();
    SearchFrom(search, p);
    if (left > 0 && --left == 0) break;
  }
  out.append(text.substr(p));
  return out;
}

TextArray SplitText(TextView text, TextView delimiter) {
  TextArray parts;
  if (text.empty()) return parts;
  if (delimiter.empty()) {
    parts.emplace_back(text);
    return parts;
  }
  const Pattern pattern = MakePattern(delimiter, false);
  Search search = StartSearch(text, pattern, 0);
  std::size_t element = 0;
  for (std::size_t q = NextMatch(search); q != kNone; q = NextMatch(search)) {
    parts.emplace_back(text.substr(element, q - element));
    element = q + delimiter.size();
    SearchFrom(search, element);
  }
  if (element < text.size()) parts.emplace_back(text.substr(element));
  return parts;
}

Text TrimBothEnds(TextView text) {
  std::size_t begin = 0;
  while (begin < text.size()) {
    std::size_t s = SpaceAt(text, begin);
    if (s == 0) break;
    begin += s;
  }
  const std::size_t n = text.size();
  std::size_t runStart = n;  // where the latest run of spaces began, n for none
  std::size_t p = begin;
  while (p < n) {
    std::size_t s = SpaceAt(text, p);
    if (s != 0) {
      if (runStart == n) runStart = p;
      p += s;
      continue;
    }
    if (IsLeadByte(At(text, p))) {
      // A cut-off character is cut off instead, and the spaces before it stay.
      if (p + 1 >= n) return Slice(text, begin, p - begin);
      p += 2;
    } else {
      p += 1;
    }
    runStart = n;
  }
  return Slice(text, begin, runStart - begin);
}

Text RemoveAllSpaces(TextView text) {
  Text out;
  out.reserve(text.size());
  std::size_t pending = 0;
  std::size_t p = 0;
  const std::size_t n = text.size();
  while (p < n) {
    std::size_t s = SpaceAt(text, p);
    if (s != 0) {
      out.append(text.substr(pending, p - pending));
      p += s;
      pending = p;
      continue;
    }
    if (IsLeadByte(At(text, p))) {
      if (p + 1 >= n) {
        out.append(text.substr(pending, p - pending));
        return out;  // the cut-off character is left out
      }
      p += 2;
    } else {
      p += 1;
    }
  }
  out.append(text.substr(pending));
  return out;
}

Text ToLowerCase(TextView text) {
  Text out(text);
  const std::size_t n = out.size();
  std::size_t p = 0;
  while (p < n) {
    Byte b = static_cast<Byte>(out[p]);
    if (IsLeadByte(b)) {
      p += 2;  // second bytes keep their case; a cut-off lead stays as it is
    } else {
      out[p] = static_cast<char>(FoldAscii(b));
      p += 1;
    }
  }
  return out;
}

Text BlankText(int n) {
  if (n <= 0) return {};
  return Text(static_cast<std::size_t>(n), ' ');
}
