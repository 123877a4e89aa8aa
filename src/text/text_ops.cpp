// The text primitives. The scanning ones share one character walk: a byte of
// 0x80 or above starts a two-byte character whatever follows it.
#include "text/text_ops.h"

#include <algorithm>
#include <cstring>

namespace {

using Byte = unsigned char;

constexpr Byte kFullWidthSpaceByte = 0xA1;  // the full-width space is A1 A1

inline Byte At(TextView t, std::size_t i) { return static_cast<Byte>(t[i]); }
inline bool IsLeadByte(Byte b) { return b >= 0x80; }
inline Byte FoldAscii(Byte b) { return (b >= 'A' && b <= 'Z') ? static_cast<Byte>(b + 0x20) : b; }

// Whether `sub` (not empty) stands at offset p; the caller checked the room.
inline bool EqualAt(TextView text, std::size_t p, TextView sub, bool foldCase) {
  if (!foldCase) {
    return text[p] == sub[0] && std::memcmp(text.data() + p + 1, sub.data() + 1, sub.size() - 1) == 0;
  }
  for (std::size_t i = 0; i < sub.size(); ++i) {
    if (FoldAscii(At(text, p + i)) != FoldAscii(At(sub, i))) return false;
  }
  return true;
}

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

// Offset of the first match of `sub` (not empty) at a character start of a
// walk that starts at `from`, or kNone. Candidates for the first byte are
// found with memchr; each is then checked to be a character start by looking
// back only as far as the previous candidate, so the whole search stays
// linear while skipping most bytes at memchr speed.
std::size_t FindFrom(TextView text, std::size_t from, TextView sub, bool foldCase) {
  const std::size_t n = text.size();
  const std::size_t m = sub.size();
  if (n < m || from > n - m) return kNone;
  const std::size_t lastStart = n - m;
  const Byte first = At(sub, 0);
  Byte other = first;
  if (foldCase && first >= 'a' && first <= 'z') other = static_cast<Byte>(first - 0x20);
  if (foldCase && first >= 'A' && first <= 'Z') other = static_cast<Byte>(first + 0x20);

  auto next = [&](Byte b, std::size_t at) -> std::size_t {
    if (at > lastStart) return kNone;
    const void* hit = std::memchr(text.data() + at, b, lastStart - at + 1);
    return hit == nullptr ? kNone : static_cast<std::size_t>(static_cast<const char*>(hit) - text.data());
  };
  std::size_t nextFirst = next(first, from);
  std::size_t nextOther = other == first ? kNone : next(other, from);
  std::size_t walk = from;  // a known character start, never beyond the candidate
  while (true) {
    std::size_t c = std::min(nextFirst, nextOther);
    if (c == kNone) return kNone;
    bool isStart = IsCharacterStart(text, walk, c);
    if (isStart && EqualAt(text, c, sub, foldCase)) return c;
    // c starts a character, or else c - 1 did and c + 1 starts the next one.
    walk = isStart ? c : c + 1;
    if (c == nextFirst) nextFirst = next(first, c + 1);
    if (c == nextOther) nextOther = next(other, c + 1);
  }
}

// Visits every character start from `from` on, calling visit(p) until it
// returns false. Returns the offset where the walk stopped: the text's length,
// a cut-off character's offset, or where visit asked to stop.
template <class Visit>
std::size_t WalkCharacters(TextView text, std::size_t from, Visit visit) {
  std::size_t p = from;
  const std::size_t n = text.size();
  while (p < n) {
    if (!visit(p)) return p;
    if (IsLeadByte(At(text, p))) {
      if (p + 1 >= n) return p;  // cut-off character
      p += 2;
    } else {
      p += 1;
    }
  }
  return p;
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
  std::size_t p = FindFrom(text, begin, sub, ignoreCase);
  return p == kNone ? -1 : static_cast<int>(p + 1);
}

int FindTextReverse(TextView text, TextView sub, bool ignoreCase) {
  if (text.empty()) return -1;
  if (sub.empty()) return 1;
  if (text.size() < sub.size()) return -1;
  const std::size_t last = text.size() - sub.size();
  int found = -1;
  WalkCharacters(text, 0, [&](std::size_t p) {
    if (p > last) return false;
    if (EqualAt(text, p, sub, ignoreCase)) found = static_cast<int>(p + 1);
    return true;
  });
  return found;
}

Text ReplaceSubtext(TextView text, TextView find, TextView replacement, int start, int count, bool respectCase) {
  if (start < 1) start = 1;
  const std::size_t begin = static_cast<std::size_t>(start - 1);
  if (text.empty() || find.empty() || begin >= text.size() || count == 0) return Text(text);

  const std::size_t n = text.size();
  Text out(text.substr(0, begin));
  out.reserve(text.size());
  std::size_t p = begin;  // a character start; everything before it is in `out`
  int left = count;       // negative: no limit
  while (n - p >= find.size()) {
    std::size_t q = FindFrom(text, p, find, !respectCase);
    if (q == kNone) {
      // The walk would drop a cut-off character it reaches while the search
      // text still fits, which happens only for a one-byte search text.
      if (find.size() == 1 && IsCutOffFrom(text, p)) return out.append(text.substr(p, n - 1 - p));
      break;
    }
    out.append(text.substr(p, q - p));
    out.append(replacement);
    p = q + find.size();
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
  const std::size_t n = text.size();
  std::size_t element = 0;
  while (n - element >= delimiter.size()) {
    std::size_t q = FindFrom(text, element, delimiter, false);
    if (q == kNone) break;
    parts.emplace_back(text.substr(element, q - element));
    element = q + delimiter.size();
  }
  if (element < n) parts.emplace_back(text.substr(element));
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
