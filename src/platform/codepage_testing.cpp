// One converter per thread, reset before each call.
#include "platform/codepage_testing.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>

namespace {

// The substitute for every character the code page lacks. The converter's
// own callback would drop the invisible ones instead.
void WriteSubstitute(const void*, UConverterFromUnicodeArgs* args, const UChar*, int32_t, UChar32,
                     UConverterCallbackReason reason, UErrorCode* error) {
  if (reason > UCNV_IRREGULAR) return;
  *error = U_ZERO_ERROR;
  ucnv_cbFromUWriteSub(args, 0, error);
}

struct Converter {
  UConverter* gbk = nullptr;
  Converter() {
    // The converter that codepage.cpp uses for code page 936.
    UErrorCode error = U_ZERO_ERROR;
    gbk = ucnv_open("windows-936", &error);
    if (U_FAILURE(error)) gbk = nullptr;
    error = U_ZERO_ERROR;
    if (gbk != nullptr) ucnv_setFromUCallBack(gbk, WriteSubstitute, nullptr, nullptr, nullptr, &error);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  ~Converter() {
    if (gbk != nullptr) ucnv_close(gbk);
  }
};

UConverter* Gbk() {
  thread_local Converter converter;
  ucnv_reset(converter.gbk);
  return converter.gbk;
}

}  // namespace

std::u16string GbkToUtf16ByConverter(std::string_view bytes) {
  UConverter* converter = Gbk();
  std::u16string out(bytes.size() + 1, u'\0');
  UErrorCode error = U_ZERO_ERROR;
  const int32_t n = ucnv_toUChars(converter, out.data(), static_cast<int32_t>(out.size()), bytes.data(),
                                  static_cast<int32_t>(bytes.size()), &error);
  out.resize(U_SUCCESS(error) ? static_cast<std::size_t>(n) : 0);
  return out;
}

std::string Utf16ToGbkByConverter(std::u16string_view units) {
  UConverter* converter = Gbk();
  std::string out(2 * units.size() + 1, '\0');
  UErrorCode error = U_ZERO_ERROR;
  const int32_t n = ucnv_fromUChars(converter, out.data(), static_cast<int32_t>(out.size()), units.data(),
                                    static_cast<int32_t>(units.size()), &error);
  out.resize(U_SUCCESS(error) ? static_cast<std::size_t>(n) : 0);
  return out;
}
