// Code page 936 <-> UTF-8 through UTF-16, with the code-page stand-in.
#include "platform/gtk_text.h"

#include "platform/codepage.h"

// Texts hold no zero byte: a zero byte in either ends the text.
std::string GbkToUtf8(std::string_view gbk) { return Utf16ToCodePage(CP_UTF8, CodePageToUtf16(CP_GBK, gbk)); }

std::string Utf8ToGbk(std::string_view utf8) { return Utf16ToCodePage(CP_GBK, CodePageToUtf16(CP_UTF8, utf8)); }
