// A response body's conversion in place, piece by piece.
#include "http/response_body.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "encoding/response_decode.h"

namespace {

// Beyond this much without a place to cut, a piece is cut where it stands.
// Only a body with no two ASCII or common CJK characters in a row for a whole
// megabyte gets there, and at worst it loses one character's fidelity at
// each such cut; the conversion of any page stays within a few times this.
constexpr std::size_t kMaxUncutBytes = 1024 * 1024;

bool IsContinuation(unsigned char b) { return b >= 0x80 && b <= 0xBF; }
bool IsCjkLead(unsigned char b) { return b >= 0xE4 && b <= 0xE9; }

// The characters no neighbour changes: ASCII, and U+4000 to U+9FFF. None of
// them is a mark that composes with what comes before, none is dropped
// when it ends a text, and a complete one keeps an invalid sequence on
// either side from reaching across it. Such a character starting at `p`:
bool PlainStartsAt(const ByteSet& s, std::size_t p) {
  if (s[p] < 0x80) return true;
  return IsCjkLead(s[p]) && p + 2 < s.size() && IsContinuation(s[p + 1]) && IsContinuation(s[p + 2]);
}
// ... and ending just before `p`.
bool PlainEndsBefore(const ByteSet& s, std::size_t p) {
  if (s[p - 1] < 0x80) return true;
  return p >= 3 && IsCjkLead(s[p - 3]) && IsContinuation(s[p - 2]) && IsContinuation(s[p - 1]);
}

// The last place p with from < p <= to (and p inside `s`) between two such
// characters, or 0.
std::size_t LastCut(const ByteSet& s, std::size_t from, std::size_t to) {
  for (std::size_t p = std::min(to, s.size() - 1); p > from; --p) {
    if (PlainEndsBefore(s, p) && PlainStartsAt(s, p)) return p;
  }
  return 0;
}

// Where the piece that starts at `from` ends.
std::size_t PieceEnd(const ByteSet& s, std::size_t from, std::size_t pieceBytes) {
  std::size_t limit = from + pieceBytes;
  if (limit >= s.size()) return s.size();
  std::size_t cut = LastCut(s, from, limit);
  while (cut == 0 && limit < s.size() && limit - from < std::max(kMaxUncutBytes, pieceBytes)) {
    const std::size_t next = std::min(limit + pieceBytes, s.size());
    cut = LastCut(s, limit, next);
    limit = next;
  }
  return cut != 0 ? cut : limit;
}

}  // namespace

void Utf8BodyToGbk(ByteSet& body, int pieceBytes) {
  const std::size_t piece = static_cast<std::size_t>(std::max(pieceBytes, 1));
  std::size_t read = 0;   // the first byte not yet converted
  std::size_t write = 0;  // the end of the converted bytes, never past `read`
  while (read < body.size()) {
    const std::size_t end = PieceEnd(body, read, piece);
    const ByteSet gbk = Utf8ToGbkBytes(body.substr(read, end - read));
    if (gbk.size() <= end - write) {
      if (!gbk.empty()) std::memcpy(body.data() + write, gbk.data(), gbk.size());
      write += gbk.size();
      read = end;
    } else {
      // Not met by the conversion's rules; kept correct should they change.
      body.replace(write, end - write, gbk);
      write += gbk.size();
      read = write;
    }
  }
  body.resize(write);
}
