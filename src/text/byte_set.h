// Byte sets: counted bytes of any value, positions from 1.
//
//   ByteSet b = ToByteSet("abc");
//   FindByteSet(b, ToByteSet("c"))   -> 3
//   ByteSetAt(b, 1)                  -> 0x61
//   body = ConcatByteSets(std::move(body), piece);   // appends in place
#pragma once

#include "text/text.h"

ByteSet ToByteSet(TextView text);
// The bytes up to the first zero byte.
Text ByteSetToText(const ByteSet& bytes);
int ByteSetLength(const ByteSet& bytes);
ByteSet ByteSetLeft(const ByteSet& bytes, int n);
// Byte-by-byte search; an empty pattern gives -1.
int FindByteSet(const ByteSet& bytes, const ByteSet& pattern);
// n zero bytes.
ByteSet BlankByteSet(int n);

template <class... Rest>
ByteSet ConcatByteSets(ByteSet first, const Rest&... rest) {
  (first.insert(first.end(), rest.begin(), rest.end()), ...);
  return first;
}

// The byte at a 1-based position; a bad position is a runtime error.
int ByteSetAt(const ByteSet& bytes, int position);
