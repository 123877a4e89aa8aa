// RegexObject on the automation stand-in: every member is reached by name.
#include "extract/regex_object.h"

#include <climits>
#include <cmath>
#include <limits>
#include <string>

#include "extract/delimited.h"
#include "platform/codepage.h"
#include "text/number.h"

namespace {

std::u16string ToWide(TextView text) {
  std::u16string wide;
  if (text.empty()) return wide;
  const int length = static_cast<int>(text.size());
  // A character of code page 936 is never more than one UTF-16 unit, so the
  // byte count is room enough; the size query is only a fallback.
  wide.resize(text.size());
  int n = MultiByteToWideChar(CP_GBK, 0, text.data(), length, wide.data(), length);
  if (n == 0) {
    n = MultiByteToWideChar(CP_GBK, 0, text.data(), length, nullptr, 0);
    wide.resize(static_cast<std::size_t>(n));
    if (n > 0) n = MultiByteToWideChar(CP_GBK, 0, text.data(), length, wide.data(), n);
  }
  wide.resize(static_cast<std::size_t>(n));
  return wide;
}

Text FromWide(const std::u16string& wide) {
  Text text;
  if (wide.empty() || wide.size() > INT_MAX / 2) return text;
  const int length = static_cast<int>(wide.size());
  // A unit becomes at most two bytes, a substitute for one that the code
  // page lacks included, so one pass into that room does; the size query
  // is only a fallback.
  text.resize(2 * wide.size());
  int n = WideCharToMultiByte(CP_GBK, 0, wide.data(), length, text.data(), 2 * length, nullptr, nullptr);
  if (n == 0) {
    n = WideCharToMultiByte(CP_GBK, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return Text();
    text.resize(static_cast<std::size_t>(n));
    n = WideCharToMultiByte(CP_GBK, 0, wide.data(), length, text.data(), n, nullptr, nullptr);
  }
  text.resize(static_cast<std::size_t>(n > 0 ? n : 0));
  // A text holds no zero byte: a U+0000 from the component ends it.
  if (auto zero = text.find('\0'); zero != Text::npos) text.resize(zero);
  return text;
}

Text VariantToText(const Variant& v) {
  switch (v.vt) {
    case VT_BSTR: return FromWide(v.bstrVal);
    case VT_I4: return NumberToText(v.lVal);
    case VT_BOOL: return Text(v.boolVal ? "True" : "False");
    default: return Text();
  }
}

int VariantToInt(const Variant& v) {
  if (v.vt == VT_I4) return v.lVal;
  if (v.vt == VT_R8 && std::isfinite(v.dblVal) && std::fabs(v.dblVal) < std::numeric_limits<int>::max()) {
    return static_cast<int>(v.dblVal);
  }
  return 0;
}

// The match at a 1-based index of the collection, or nothing.
DispatchPtr MatchAt(IDispatch* matches, int matchIndex) {
  if (matches == nullptr || matchIndex < 1) return DispatchPtr();
  Variant match;
  GetProperty(matches, u"Item", &match, {Variant::Int(matchIndex - 1)});
  return match.object() != nullptr ? match.pdispVal : DispatchPtr();
}

}  // namespace

RegexObject::RegexObject() { CoInitialize(nullptr); }

bool RegexObject::Create(TextView pattern, TextView subject, bool caseSensitive, bool multiline, bool global,
                         bool usePlaceholder) {
  engine.reset();
  matches.reset();
  CreateObject(u"VBScript.RegExp", &engine);
  PutProperty(engine.get(), u"IgnoreCase", Variant::Bool(!caseSensitive));
  PutProperty(engine.get(), u"Multiline", Variant::Bool(multiline));
  PutProperty(engine.get(), u"Singleline", Variant::Bool(true));
  PutProperty(engine.get(), u"Global", Variant::Bool(global));
  PutProperty(engine.get(), u"Pattern",
              Variant::String(ToWide(usePlaceholder ? TextView(ReplaceQuotePlaceholder(pattern)) : pattern)));
  Variant collection;
  CallMethod(engine.get(), u"Execute", &collection, {Variant::String(ToWide(subject))});
  matches = collection.object() != nullptr ? collection.pdispVal : DispatchPtr();
  this->subject = Text(subject);
  return static_cast<bool>(matches);
}

Text RegexObject::GetPattern() const {
  Variant pattern;
  GetProperty(engine.get(), u"Pattern", &pattern);
  return VariantToText(pattern);
}

Text RegexObject::ReplaceMatches(TextView replacement) const {
  Variant result;
  CallMethod(engine.get(), u"Replace", &result, {Variant::String(ToWide(subject)), Variant::String(ToWide(replacement))});
  return VariantToText(result);
}

int RegexObject::MatchCount() const {
  Variant count;
  GetProperty(matches.get(), u"Count", &count);
  return VariantToInt(count);
}

Text RegexObject::MatchText(int matchIndex) const {
  DispatchPtr match = MatchAt(matches.get(), matchIndex);
  Variant value;
  GetProperty(match.get(), u"Value", &value);
  return VariantToText(value);
}

Text RegexObject::SubmatchText(int matchIndex, int groupIndex) const {
  if (groupIndex < 1) return Text();
  DispatchPtr match = MatchAt(matches.get(), matchIndex);
  Variant submatches;
  GetProperty(match.get(), u"SubMatches", &submatches);
  Variant value;
  GetProperty(submatches.object(), u"Item", &value, {Variant::Int(groupIndex - 1)});
  return VariantToText(value);
}

int RegexObject::SubmatchCount() const {
  DispatchPtr match = MatchAt(matches.get(), 1);
  Variant submatches;
  GetProperty(match.get(), u"SubMatches", &submatches);
  Variant count;
  GetProperty(submatches.object(), u"Count", &count);
  return VariantToInt(count);
}

RegexObject::~RegexObject() {
  engine.reset();
  matches.reset();
  subject = Text();
  CoUninitialize();
}
