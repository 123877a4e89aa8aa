// A response body while it is read and converted: a list of blocks that
// grows a block at a time, so the body never needs a second copy of itself
// (as a buffer that doubles would) until it is joined into one byte set.
//
//   BodyBlocks body;
//   AppendToBody(body, piece.data(), 1024);   // false once a new block is refused
//   body = Utf8BodyToGbk(std::move(body));     // piece by piece
//   ByteSet bytes = JoinBody(std::move(body)); // frees each block once copied
#pragma once

#include <functional>
#include <vector>

#include "text/text.h"

// The block size of a body: small beside a result page, large beside the
// bookkeeping per block.
inline constexpr int kBodyBlockBytes = 64 * 1024;

struct BodyBlocks {
  std::vector<ByteSet, Allocator<ByteSet>> blocks;
  long long length = 0;  // bytes in all blocks together
  int blockBytes = kBodyBlockBytes;
};

// Appends n bytes. Before each new block `mayGrow` is asked (when given);
// when it refuses, only what fitted in the blocks already there is kept and
// the result is false.
bool AppendToBody(BodyBlocks& body, const unsigned char* bytes, int n,
                  const std::function<bool()>& mayGrow = nullptr);

// The blocks of UTF-8 bytes as code page 936 bytes, the same bytes
// Utf8ToGbkBytes gives for the whole body. The body is converted a piece of
// about `pieceBytes` at a time, each piece cut between two characters that
// no neighbour changes (ASCII and the common CJK range), and each block is
// freed once converted; the result never outgrows its source.
BodyBlocks Utf8BodyToGbk(BodyBlocks body, int pieceBytes = kBodyBlockBytes);

// The body as one byte set.
ByteSet JoinBody(BodyBlocks body);
