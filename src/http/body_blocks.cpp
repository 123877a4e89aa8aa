// Response bodies held as blocks, and their conversion piece by piece.
#include "http/body_blocks.h"

#include <algorithm>
#include <cstddef>

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

// The last place in `s` between two such characters, or 0.
std::size_t LastCut(const ByteSet& s) {
  for (std::size_t p = s.size() - 1; p > 0; --p) {
    if (PlainEndsBefore(s, p) && PlainStartsAt(s, p)) return p;
  }
  return 0;
}

}  // namespace

bool AppendToBody(BodyBlocks& body, const unsigned char* bytes, int n, const std::function<bool()>& mayGrow) {
  while (n > 0) {
    if (body.blocks.empty() || static_cast<int>(body.blocks.back().size()) == body.blockBytes) {
      if (mayGrow && !mayGrow()) return false;
      body.blocks.emplace_back();
      body.blocks.back().reserve(static_cast<std::size_t>(body.blockBytes));
    }
    ByteSet& last = body.blocks.back();
    const int take = std::min(n, body.blockBytes - static_cast<int>(last.size()));
    last.insert(last.end(), bytes, bytes + take);
    body.length += take;
    bytes += take;
    n -= take;
  }
  return true;
}

BodyBlocks Utf8BodyToGbk(BodyBlocks body, int pieceBytes) {
  BodyBlocks out;
  out.blockBytes = body.blockBytes;
  ByteSet pending;
  const auto convert = [&](std::size_t cut) {
    const ByteSet piece(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(cut));
    pending.erase(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(cut));
    const ByteSet gbk = Utf8ToGbkBytes(piece);
    AppendToBody(out, gbk.data(), static_cast<int>(gbk.size()));
  };
  for (ByteSet& block : body.blocks) {
    pending.insert(pending.end(), block.begin(), block.end());
    ByteSet().swap(block);
    if (pending.size() < static_cast<std::size_t>(pieceBytes)) continue;
    std::size_t cut = LastCut(pending);
    if (cut == 0) {
      if (pending.size() < std::max(kMaxUncutBytes, static_cast<std::size_t>(pieceBytes))) continue;
      cut = pending.size();
    }
    convert(cut);
  }
  if (!pending.empty()) convert(pending.size());
  return out;
}

ByteSet JoinBody(BodyBlocks body) {
  ByteSet whole;
  whole.reserve(static_cast<std::size_t>(body.length));
  for (ByteSet& block : body.blocks) {
    whole.insert(whole.end(), block.begin(), block.end());
    ByteSet().swap(block);
  }
  return whole;
}
