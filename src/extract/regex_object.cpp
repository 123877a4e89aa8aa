// RegexObject on the automation stand-in: every member is reached by name.
#include "extract/regex_object.h"

#include <cmath>
#include <limits>
#include <string>

#include "extract/delimited.h"
#include "platform/codepage.h"
#include "text/number.h"

namespace {

std::u16string ToWide(TextView text) { return CodePageToUtf16(CP_GBK, text); }

// A U+0000 from the component ends the text: texts hold no zero byte.
Text FromWide(const std::u16string& wide) { return Utf16ToCodePage<Text>(CP_GBK, wide); }

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
