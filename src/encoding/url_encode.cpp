// Percent-encoding and the conversions from code page 936 to UTF-8.
#include "encoding/url_encode.h"

#include <algorithm>
#include <climits>
#include <cstddef>
#include <string>
#include <string_view>
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
  text = text.substr(0, text.find('\0'));
  if (text.size() > INT_MAX / 2 - 1) return {};
  const std::u16string wide = CodePageToUtf16(static_cast<unsigned>(codePage), text);
  if (wide.empty() != text.empty() || wide.size() > INT_MAX / 2 - 1) return {};
  // The units and then the terminator's unit, which BlankByteSet has zeroed.
  ByteSet units = BlankByteSet(2 * (static_cast<int>(wide.size()) + 1));
  std::copy(wide.begin(), wide.end(), encoding_internal::Units(units));
  return units;
}

Text UnicodeToCodePage(const ByteSet& units, int codePage) {
  return Utf16ToCodePage<Text>(static_cast<unsigned>(codePage),
                               std::u16string_view(encoding_internal::Units(units), units.size() / 2));
}
