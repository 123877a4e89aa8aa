// UTF-16 code units kept in byte sets: two bytes a unit, low byte first.
//
//   ByteSet units = BlankByteSet(2 * n);
//   MultiByteToWideChar(CP_UTF8, 0, bytes, length, encoding_internal::Units(units), n);
//
// The conversions write and read the units in place, so the machine's own
// order must be the byte sets' order.
#pragma once

#include <bit>

#include "platform/codepage.h"
#include "text/text.h"

namespace encoding_internal {

static_assert(std::endian::native == std::endian::little,
              "code units are stored in byte sets in the machine's order, which must be little-endian");

// The storage comes from the text allocator (malloc), aligned for any type.
inline WCHAR* Units(ByteSet& bytes) { return reinterpret_cast<WCHAR*>(bytes.data()); }
inline const WCHAR* Units(const ByteSet& bytes) { return reinterpret_cast<const WCHAR*>(bytes.data()); }

}  // namespace encoding_internal
