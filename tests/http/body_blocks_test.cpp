// The body held in blocks: appending, joining, and the conversion piece by
// piece, checked against the conversion of the whole body at once.
#include "http/body_blocks.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "encoding/response_decode.h"
#include "text/byte_set.h"

namespace {

ByteSet Bytes(const std::string& s) { return ByteSet(s.begin(), s.end()); }

BodyBlocks InBlocks(const ByteSet& bytes, int blockBytes, int readBytes) {
  BodyBlocks body;
  body.blockBytes = blockBytes;
  for (std::size_t at = 0; at < bytes.size(); at += static_cast<std::size_t>(readBytes)) {
    const int n = static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(readBytes), bytes.size() - at));
    EXPECT_TRUE(AppendToBody(body, bytes.data() + at, n));
  }
  return body;
}

TEST(BodyBlocksTest, AppendAndJoinKeepEveryByte) {
  std::mt19937 random(7);
  for (int round = 0; round < 200; ++round) {
    ByteSet bytes(random() % 3000, 0);
    for (auto& b : bytes) b = static_cast<unsigned char>(random());
    const int blockBytes = 1 + static_cast<int>(random() % 700);
    const int readBytes = 1 + static_cast<int>(random() % 1100);
    BodyBlocks body = InBlocks(bytes, blockBytes, readBytes);
    EXPECT_EQ(body.length, static_cast<long long>(bytes.size()));
    for (const ByteSet& block : body.blocks) EXPECT_LE(static_cast<int>(block.size()), blockBytes);
    EXPECT_EQ(JoinBody(std::move(body)), bytes);
  }
}

TEST(BodyBlocksTest, RefusedBlockKeepsWhatFitted) {
  BodyBlocks body;
  body.blockBytes = 4;
  int granted = 2;
  const auto mayGrow = [&] { return granted-- > 0; };
  const ByteSet bytes = Bytes("abcdefghij");
  EXPECT_FALSE(AppendToBody(body, bytes.data(), 10, mayGrow));
  EXPECT_EQ(JoinBody(std::move(body)), Bytes("abcdefgh"));
}

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

TEST(BodyBlocksTest, ConversionInPiecesMatchesTheWholeConversion) {
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
    const int blockBytes = 1 + static_cast<int>(random() % 64);
    const int pieceBytes = 1 + static_cast<int>(random() % 48);
    SCOPED_TRACE(testing::Message() << "round " << round << ", blocks of " << blockBytes << ", pieces of "
                                    << pieceBytes);
    BodyBlocks body = Utf8BodyToGbk(InBlocks(bytes, blockBytes, 1 + static_cast<int>(random() % 100)), pieceBytes);
    for (const ByteSet& block : body.blocks) EXPECT_LE(static_cast<int>(block.size()), blockBytes);
    ASSERT_EQ(JoinBody(std::move(body)), Utf8ToGbkBytes(bytes)) << text;
  }
}

TEST(BodyBlocksTest, EmptyBodyStaysEmpty) {
  EXPECT_TRUE(JoinBody(Utf8BodyToGbk(BodyBlocks())).empty());
  EXPECT_TRUE(JoinBody(BodyBlocks()).empty());
}

}  // namespace
