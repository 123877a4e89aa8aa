// Percent-encoding and the conversions from code page 936 to UTF-8.
#include "encoding/url_encode.h"

#include <algorithm>
#include <climits>
#include <cstddef>
#include <utility>

#include "encoding/utf16_bytes.h"
#include "platform/codepage.h"
#include "text/byte_set.h"
#include "text/number.h"
#include "text/text_ops.h"

namespace {

// The bytes copied unchanged when letters and digits are kept. The solidus
// lies between the full stop and the digits and is still encoded.
bool IsPlainByte(int b) {
  return b == 0x2D || b == 0x2E || (b >= 0x30 && b <= 0x39) || (b >= 0x41 && b <= 0x5A) ||
         (b >= 0x61 && b <= 0x7A);
}

}  // namespace

Text UrlEncode(TextView text, bool keepAlnum, bool viaUtf8) {
  Text utf8;
  TextView bytes = text;
  if (viaUtf8) {
    utf8 = AnsiToUtf8(text);
    bytes = utf8;
  }
  Text result;
  result.reserve(bytes.size() * 3);
  for (char c : bytes) {
    const int b = static_cast<unsigned char>(c);
    if (keepAlnum && IsPlainByte(b)) {
      result = ConcatTexts(std::move(result), CharFromCode(b));
      continue;
    }
    Text digits = ToHexText(b);
    if (TextLength(digits) < 2) digits = ConcatTexts(Text("0"), digits);
    result = ConcatTexts(std::move(result), "%", digits);
  }
  return result;
}

Text AnsiToUtf8(TextView text) { return UnicodeToCodePage(AnsiToUnicode(text, static_cast<int>(CP_GBK)), CP_UTF8); }

ByteSet AnsiToUnicode(TextView text, int codePage) {
  // The text and its terminator: the terminator's unit is added here rather
  // than converted, so that a view needs no zero-terminated copy.
  text = text.substr(0, text.find('\0'));
  if (text.size() > INT_MAX / 2 - 1) return {};
  const auto page = static_cast<unsigned>(codePage);
  const int length = static_cast<int>(text.size());
  int n = 0;
  if (length > 0) {
    n = MultiByteToWideChar(page, 0, text.data(), length, nullptr, 0);
    if (n <= 0 || n > INT_MAX / 2 - 1) return {};
  }
  ByteSet units = BlankByteSet(2 * (n + 1));
  if (n > 0 && MultiByteToWideChar(page, 0, text.data(), length, encoding_internal::Units(units), n) != n) {
    return {};
  }
  return units;
}

Text UnicodeToCodePage(const ByteSet& units, int codePage) {
  const WCHAR* begin = encoding_internal::Units(units);
  const WCHAR* end = begin + units.size() / 2;
  const std::size_t count = static_cast<std::size_t>(std::find(begin, end, u'\0') - begin);
  if (count == 0 || count > INT_MAX) return {};
  const auto page = static_cast<unsigned>(codePage);
  const int n = static_cast<int>(count);
  // Asked for the size first: a character may take more bytes than its
  // units do (three in UTF-8 for most characters of code page 936).
  const int m = WideCharToMultiByte(page, 0, begin, n, nullptr, 0, nullptr, nullptr);
  if (m <= 0) return {};
  Text result(static_cast<std::size_t>(m), '\0');
  if (WideCharToMultiByte(page, 0, begin, n, result.data(), m, nullptr, nullptr) != m) return {};
  return result;
}
