// A response body's conversion from UTF-8 to code page 936 in place, a
// piece at a time, so that converting a body never needs a second copy of it.
//
//   ByteSet body = ...;          // UTF-8 bytes as read
//   Utf8BodyToGbk(body);         // now the bytes Utf8ToGbkBytes gives for them
#pragma once

#include "text/text.h"

// The size of a piece: small beside the body a fetch keeps, large beside
// the cost of one call of the conversion.
inline constexpr int kBodyPieceBytes = 64 * 1024;

// Replaces the UTF-8 bytes of `body` with the code page 936 bytes that
// Utf8ToGbkBytes gives for the whole body. The body is converted a piece of
// about `pieceBytes` at a time, each piece cut between two characters that
// no neighbour changes (ASCII and the common CJK range), and each piece's
// result is written over the bytes already converted: it is never longer
// than its source, so the body never grows and keeps its storage.
void Utf8BodyToGbk(ByteSet& body, int pieceBytes = kBodyPieceBytes);
