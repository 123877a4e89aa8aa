// Decoding of UTF-8 response bodies, through UTF-16, into code page 936.
#include "encoding/response_decode.h"

#include <climits>

#include "encoding/utf16_bytes.h"
#include "platform/codepage.h"
#include "text/byte_set.h"

ByteSet Utf8ToUnicode(const ByteSet& bytes) {
  if (bytes.empty() || bytes.size() > INT_MAX) return {};
  const int length = ByteSetLength(bytes);
  const char* source = reinterpret_cast<const char*>(bytes.data());
  const int n = MultiByteToWideChar(CP_UTF8, 0, source, length, nullptr, 0);
  if (n <= 0 || n > INT_MAX / 2) return {};
  ByteSet units = BlankByteSet(2 * n);
  if (MultiByteToWideChar(CP_UTF8, 0, source, length, encoding_internal::Units(units), n) != n) return {};
  return units;
}

ByteSet Utf8ToGbkBytes(const ByteSet& bytes) {
  const ByteSet units = Utf8ToUnicode(bytes);
  const int n = ByteSetLength(units) / 2;
  if (n == 0) return {};
  const WCHAR* source = encoding_internal::Units(units);
  const int m = WideCharToMultiByte(CP_GBK, WC_COMPOSITECHECK, source, n, nullptr, 0, nullptr, nullptr);
  if (m <= 0) return {};
  ByteSet result = BlankByteSet(m);
  if (WideCharToMultiByte(CP_GBK, WC_COMPOSITECHECK, source, n, reinterpret_cast<char*>(result.data()), m, nullptr,
                          nullptr) != m) {
    return {};
  }
  return result;
}
