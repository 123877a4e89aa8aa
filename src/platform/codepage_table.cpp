// The tables are read out of the converter in two bulk conversions, one
// each way, with every entry followed by a line feed: the converter tells
// which source offset each unit (byte) of its output came from, and an entry
// counts only when it gave exactly one character of its own and the line
// feed after it came through untouched. Whatever the converter substitutes,
// skips, merges with a neighbour or maps to more than one unit stays out of
// the table and is left to the converter.
#include "platform/codepage_table.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_err.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

// The converter that codepage.cpp uses for code page 936.
constexpr char kGbkConverter[] = "windows-936";
constexpr char kSeparator = '\n';  // never the second byte of a character

bool IsSurrogate(std::uint32_t u) { return u >= 0xD800 && u <= 0xDFFF; }

// A converter that drops what it cannot convert instead of substituting, so
// that a gap in its output shows where the table must not guess.
class SkippingConverter {
 public:
  SkippingConverter() {
    UErrorCode error = U_ZERO_ERROR;
    converter_ = ucnv_open(kGbkConverter, &error);
    if (U_FAILURE(error)) {
      converter_ = nullptr;
      return;
    }
    ucnv_setToUCallBack(converter_, UCNV_TO_U_CALLBACK_SKIP, nullptr, nullptr, nullptr, &error);
    ucnv_setFromUCallBack(converter_, UCNV_FROM_U_CALLBACK_SKIP, nullptr, nullptr, nullptr, &error);
    if (U_FAILURE(error)) {
      ucnv_close(converter_);
      converter_ = nullptr;
    }
  }
  SkippingConverter(const SkippingConverter&) = delete;
  SkippingConverter& operator=(const SkippingConverter&) = delete;
  ~SkippingConverter() {
    if (converter_ != nullptr) ucnv_close(converter_);
  }

  // Units (or bytes) with the source offset of each; false on failure.
  bool Decode(const std::vector<char>& bytes, std::vector<UChar>* units, std::vector<int32_t>* offsets) {
    return Run(bytes, units, offsets, [&](UChar** target, UChar* limit, const char** source, int32_t* offset,
                                          UErrorCode* error) {
      ucnv_toUnicode(converter_, target, limit, source, bytes.data() + bytes.size(), offset, true, error);
    });
  }
  bool Encode(const std::vector<UChar>& units, std::vector<char>* bytes, std::vector<int32_t>* offsets) {
    return Run(units, bytes, offsets, [&](char** target, char* limit, const UChar** source, int32_t* offset,
                                          UErrorCode* error) {
      ucnv_fromUnicode(converter_, target, limit, source, units.data() + units.size(), offset, true, error);
    });
  }

 private:
  template <class In, class Out, class Step>
  bool Run(const std::vector<In>& in, std::vector<Out>* out, std::vector<int32_t>* offsets, Step step) {
    if (converter_ == nullptr) return false;
    ucnv_reset(converter_);
    out->resize(2 * in.size() + 16);
    offsets->resize(out->size());
    Out* target = out->data();
    const In* source = in.data();
    UErrorCode error = U_ZERO_ERROR;
    step(&target, out->data() + out->size(), &source, offsets->data(), &error);
    if (U_FAILURE(error)) return false;
    out->resize(static_cast<std::size_t>(target - out->data()));
    offsets->resize(out->size());
    return true;
  }

  UConverter* converter_ = nullptr;
};

// For each entry of a converted buffer of `count` entries of `width` source
// units each, the first `width - 1` of them the entry and the last the
// separator: calls found(entry, first, n) with the output of an entry that
// converted on its own (n output units starting at `first`).
template <class Out, class Found>
void ForEachClean(const std::vector<Out>& out, const std::vector<int32_t>& offsets, std::size_t count,
                  std::size_t width, Found found) {
  // out[k] came from source offset offsets[k]; offsets only grow.
  std::size_t k = 0;
  for (std::size_t entry = 0; entry < count; ++entry) {
    const int32_t start = static_cast<int32_t>(entry * width);
    const int32_t separator = start + static_cast<int32_t>(width) - 1;
    while (k < out.size() && offsets[k] < start) ++k;
    const std::size_t first = k;
    while (k < out.size() && offsets[k] == start) ++k;
    const std::size_t own = k - first;
    // Nothing may come from the entry's later source units, and the
    // separator must come through alone.
    if (k < out.size() && offsets[k] != separator) continue;
    if (k + 1 > out.size() || out[k] != static_cast<Out>(kSeparator)) continue;
    if (k + 1 < out.size() && offsets[k + 1] == separator) continue;
    found(entry, first, own);
  }
}

struct DecodeTable {
  bool usable = false;
  char16_t single[128] = {};     // bytes 0x80 to 0xFF standing alone; 0: none
  char16_t pair[126][256] = {};  // first byte 0x81 to 0xFE, any second byte; 0: none

  DecodeTable() {
    SkippingConverter converter;
    std::vector<UChar> units;
    std::vector<int32_t> offsets;

    std::vector<char> ascii(128);
    for (int b = 0; b < 128; ++b) ascii[static_cast<std::size_t>(b)] = static_cast<char>(b);
    if (!converter.Decode(ascii, &units, &offsets) || units.size() != 128) return;
    for (std::size_t b = 0; b < 128; ++b) {
      if (units[b] != b || offsets[b] != static_cast<int32_t>(b)) return;
    }

    std::vector<char> singles;
    for (int b = 0x80; b <= 0xFF; ++b) singles.insert(singles.end(), {static_cast<char>(b), kSeparator});
    if (!converter.Decode(singles, &units, &offsets)) return;
    ForEachClean(units, offsets, 128, 2, [&](std::size_t entry, std::size_t first, std::size_t n) {
      if (n == 1 && units[first] != 0 && !IsSurrogate(units[first])) single[entry] = units[first];
    });

    std::vector<char> pairs;
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
      for (int trail = 0; trail <= 0xFF; ++trail) {
        pairs.insert(pairs.end(), {static_cast<char>(lead), static_cast<char>(trail), kSeparator});
      }
    }
    if (!converter.Decode(pairs, &units, &offsets)) return;
    ForEachClean(units, offsets, 126 * 256, 3, [&](std::size_t entry, std::size_t first, std::size_t n) {
      if (n == 1 && units[first] != 0 && !IsSurrogate(units[first])) pair[entry / 256][entry % 256] = units[first];
    });
    usable = true;
  }
};

struct EncodeTable {
  bool usable = false;
  // The bytes of each unit: 0 none, below 0x100 one byte, else first << 8 | second.
  std::uint16_t bytes[0x10000] = {};

  EncodeTable() {
    SkippingConverter converter;
    std::vector<char> out;
    std::vector<int32_t> offsets;

    std::vector<UChar> ascii(128);
    for (std::size_t u = 0; u < 128; ++u) ascii[u] = static_cast<UChar>(u);
    if (!converter.Encode(ascii, &out, &offsets) || out.size() != 128) return;
    for (std::size_t u = 0; u < 128; ++u) {
      if (static_cast<unsigned char>(out[u]) != u || offsets[u] != static_cast<int32_t>(u)) return;
    }

    std::vector<UChar> units;
    for (std::uint32_t u = 0x80; u <= 0xFFFF; ++u) {
      if (!IsSurrogate(u)) units.insert(units.end(), {static_cast<UChar>(u), static_cast<UChar>(kSeparator)});
    }
    if (!converter.Encode(units, &out, &offsets)) return;
    ForEachClean(out, offsets, units.size() / 2, 2, [&](std::size_t entry, std::size_t first, std::size_t n) {
      const auto b0 = static_cast<unsigned char>(out[first]);
      const char16_t unit = units[2 * entry];
      if (n == 1 && b0 != 0) bytes[unit] = b0;
      if (n == 2 && b0 >= 0x81) bytes[unit] = static_cast<std::uint16_t>(b0 << 8 | static_cast<unsigned char>(out[first + 1]));
    });
    usable = true;
  }
};

const DecodeTable& Decoding() {
  static const DecodeTable table;
  return table;
}

const EncodeTable& Encoding() {
  static const EncodeTable table;
  return table;
}

constexpr std::uint64_t kHighBits = 0x8080808080808080ull;
constexpr std::uint64_t kNonAsciiUnits = 0xFF80FF80FF80FF80ull;

// Most of a page is markup: runs of ASCII go sixteen bytes (eight units) at
// a time, and only the characters between them look at a table.
template <bool kWrite>
long long Decode(const DecodeTable& t, const unsigned char* s, std::size_t n, char16_t* out) {
  std::size_t i = 0;
  std::size_t k = 0;
  while (i < n) {
    const unsigned char b = s[i];
    if (b < 0x80) {
      while (n - i >= 16) {
        // A copy of its own, so that writing `out` cannot change it and the
        // widening goes in one vector step.
        unsigned char block[16];
        std::memcpy(block, s + i, 16);
        std::uint64_t halves[2];
        std::memcpy(halves, block, 16);
        if (((halves[0] | halves[1]) & kHighBits) != 0) break;
        if constexpr (kWrite) {
          for (std::size_t j = 0; j < 16; ++j) out[k + j] = block[j];
        }
        i += 16;
        k += 16;
      }
      while (i < n && s[i] < 0x80) {
        if constexpr (kWrite) out[k] = s[i];
        ++i;
        ++k;
      }
      continue;
    }
    char16_t u = 0;
    if (b >= 0x81 && b <= 0xFE && n - i >= 2) u = t.pair[b - 0x81][s[i + 1]];
    if (u != 0) {
      i += 2;
    } else {
      u = t.single[b - 0x80];
      if (u == 0) return -1;
      i += 1;
    }
    if constexpr (kWrite) out[k] = u;
    ++k;
  }
  return static_cast<long long>(k);
}

template <bool kWrite>
long long Encode(const EncodeTable& t, const char16_t* s, std::size_t n, char* out) {
  std::size_t i = 0;
  std::size_t k = 0;
  while (i < n) {
    const char16_t u = s[i];
    if (u < 0x80) {
      while (n - i >= 8) {
        char16_t block[8];
        std::memcpy(block, s + i, 16);
        std::uint64_t halves[2];
        std::memcpy(halves, block, 16);
        if (((halves[0] | halves[1]) & kNonAsciiUnits) != 0) break;
        if constexpr (kWrite) {
          for (std::size_t j = 0; j < 8; ++j) out[k + j] = static_cast<char>(block[j]);
        }
        i += 8;
        k += 8;
      }
      while (i < n && s[i] < 0x80) {
        if constexpr (kWrite) out[k] = static_cast<char>(s[i]);
        ++i;
        ++k;
      }
      continue;
    }
    const std::uint16_t bytes = t.bytes[u];
    if (bytes == 0) return -1;
    if (bytes < 0x100) {
      if constexpr (kWrite) out[k] = static_cast<char>(bytes);
      ++k;
    } else {
      if constexpr (kWrite) {
        out[k] = static_cast<char>(bytes >> 8);
        out[k + 1] = static_cast<char>(bytes & 0xFF);
      }
      k += 2;
    }
    ++i;
  }
  return static_cast<long long>(k);
}

}  // namespace

long long GbkToUtf16ByTable(const char* source, std::size_t length, char16_t* destination) {
  const DecodeTable& t = Decoding();
  if (!t.usable) return -1;
  const auto* s = reinterpret_cast<const unsigned char*>(source);
  return destination != nullptr ? Decode<true>(t, s, length, destination) : Decode<false>(t, s, length, nullptr);
}

long long Utf16ToGbkByTable(const char16_t* source, std::size_t length, char* destination) {
  const EncodeTable& t = Encoding();
  if (!t.usable) return -1;
  return destination != nullptr ? Encode<true>(t, source, length, destination) : Encode<false>(t, source, length, nullptr);
}
