// The text primitives. The scanning ones share one character walk: a byte of
// 0x80 or above starts a two-byte character whatever follows it.
#include "text/text_ops.h"

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
  const std::size_t last = text.size() >= sub.size() ? text.size() - sub.size() : 0;
  if (text.size() < sub.size()) return -1;
  int found = -1;
  WalkCharacters(text, begin, [&](std::size_t p) {
    if (p > last) return false;
    if (EqualAt(text, p, sub, ignoreCase)) {
      found = static_cast<int>(p + 1);
      return false;
    }
    return true;
  });
  return found;
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

  Text out;
  out.reserve(text.size());
  std::size_t pending = 0;  // first byte not yet copied to `out`
  std::size_t p = begin;
  const std::size_t n = text.size();
  int left = count;  // negative: no limit
  while (p < n) {
    if (n - p < find.size()) {
      p = n;  // the rest is copied below
      break;
    }
    if (EqualAt(text, p, find, !respectCase)) {
      out.append(text.substr(pending, p - pending));
      out.append(replacement);
      p += find.size();
      pending = p;
      if (left > 0 && --left == 0) {
        p = n;
        break;
      }
      continue;
    }
    if (IsLeadByte(At(text, p))) {
      if (p + 1 >= n) {
        // A cut-off character is dropped: the result ends before it.
        out.append(text.substr(pending, p - pending));
        return out;
      }
      p += 2;
    } else {
      p += 1;
    }
  }
  out.append(text.substr(pending));
  return out;
}

TextArray SplitText(TextView text, TextView delimiter) {
  TextArray parts;
  if (text.empty()) return parts;
  if (delimiter.empty()) {
    parts.emplace_back(text);
    return parts;
  }
  std::size_t element = 0;
  const std::size_t n = text.size();
  std::size_t p = 0;
  while (p < n) {
    if (n - p >= delimiter.size() && EqualAt(text, p, delimiter, false)) {
      parts.emplace_back(text.substr(element, p - element));
      p += delimiter.size();
      element = p;
      continue;
    }
    if (IsLeadByte(At(text, p))) {
      if (p + 1 >= n) break;  // cut-off character
      p += 2;
    } else {
      p += 1;
    }
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
