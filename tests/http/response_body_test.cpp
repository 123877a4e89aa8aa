// The conversion of a body in place, piece by piece, checked against the
// conversion of the whole body at once.
#include "http/response_body.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "encoding/response_decode.h"
#include "text/byte_set.h"

namespace {

ByteSet Bytes(const std::string& s) { return ByteSet(s.begin(), s.end()); }

// Pieces of UTF-8 a page may hold, and some it should not: ASCII, CJK,
// Latin letters and the combining marks that compose with them, kana and
// their voicing marks, invisible characters, four-byte characters, and
// broken or cut sequences.
const char* const kTokens[] = {
    "a", "<", "\r\n", " ", "e", "u",
    "\xE4\xB8\xAD", "\xE6\x96\x87", "\xE9\xBE\xA5", "\xE4\x80\x80",
    "\xCC\x81", "\xCC\x88", "\xC3\xA9", "\xC4\x81",
    "\xE3\x81\x8B", "\xE3\x82\x99", "\xE3\x82\x9A",
    "\xEF\xBB\xBF", "\xE2\x80\x8B", "\xC2\xAD",
    "\xF0\x9F\x98\x80", "\xEA\xB0\x80", "\xE1\x84\x80", "\xE1\x85\xA1",
    "\xFF", "\x80", "\xE4\xB8", "\xF0\x9F", "\xC3", "\xED\xA0\x80",
};

TEST(ResponseBodyTest, ConversionInPiecesMatchesTheWholeConversion) {
  std::mt19937 random(11);
  const int tokenCount = sizeof kTokens / sizeof kTokens[0];
  for (int round = 0; round < 400; ++round) {
    std::string text;
    const int length = static_cast<int>(random() % 400);
    for (int i = 0; i < length; ++i) text += kTokens[random() % tokenCount];
    // A text ending in an invisible character is left to the conversion's
    // own tests; a cut here always ends a piece in a visible one.
    text += "z";
    const ByteSet bytes = Bytes(text);
    const int pieceBytes = 1 + static_cast<int>(random() % 48);
    SCOPED_TRACE(testing::Message() << "round " << round << ", pieces of " << pieceBytes);
    ByteSet body = bytes;
    const std::size_t capacity = body.capacity();
    Utf8BodyToGbk(body, pieceBytes);
    ASSERT_EQ(body, Utf8ToGbkBytes(bytes)) << text;
    EXPECT_EQ(body.capacity(), capacity);  // converted where it stood
  }
}

TEST(ResponseBodyTest, EmptyBodyStaysEmpty) {
  ByteSet body;
  Utf8BodyToGbk(body);
  EXPECT_TRUE(body.empty());
}

}  // namespace
