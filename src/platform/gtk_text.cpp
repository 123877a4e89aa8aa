// Code page 936 <-> UTF-8 through UTF-16, with the code-page stand-in.
#include "platform/gtk_text.h"

#include <cstring>

#include "platform/codepage.h"

namespace {

std::u16string ToWide(unsigned codePage, std::string_view bytes) {
  if (bytes.empty()) return {};
  int count = static_cast<int>(bytes.size());
  int units = MultiByteToWideChar(codePage, 0, bytes.data(), count, nullptr, 0);
  if (units <= 0) return {};
  std::u16string wide(static_cast<size_t>(units), u'\0');
  MultiByteToWideChar(codePage, 0, bytes.data(), count, wide.data(), units);
  return wide;
}

std::string FromWide(unsigned codePage, const std::u16string& wide) {
  if (wide.empty()) return {};
  int count = static_cast<int>(wide.size());
  int bytes = WideCharToMultiByte(codePage, 0, wide.data(), count, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return {};
  std::string out(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(codePage, 0, wide.data(), count, out.data(), bytes, nullptr, nullptr);
  // Texts hold no zero byte: a converted U+0000 ends the text.
  out.resize(std::strlen(out.c_str()));
  return out;
}

}  // namespace

std::string GbkToUtf8(std::string_view gbk) { return FromWide(CP_UTF8, ToWide(CP_GBK, gbk)); }

std::string Utf8ToGbk(std::string_view utf8) { return FromWide(CP_GBK, ToWide(CP_UTF8, utf8)); }
