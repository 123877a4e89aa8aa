// The automation stand-in and the regular-expression component, driven by
// member name as a late-bound client drives them.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <thread>
#include <vector>

#include "platform/automation.h"
#include "platform/regexp_component.h"

namespace {

struct Apartment {
  Apartment() { CoInitialize(nullptr); }
  ~Apartment() { CoUninitialize(); }
};

struct Options {
  bool ignoreCase = false;
  bool global = false;
  bool multiline = false;
};

DispatchPtr NewRegExp(const std::u16string& pattern, Options o = {}) {
  DispatchPtr re;
  EXPECT_EQ(CreateObject(u"VBScript.RegExp", &re), S_OK);
  EXPECT_EQ(PutProperty(re.get(), u"Pattern", Variant::String(pattern)), S_OK);
  EXPECT_EQ(PutProperty(re.get(), u"IgnoreCase", Variant::Bool(o.ignoreCase)), S_OK);
  EXPECT_EQ(PutProperty(re.get(), u"Global", Variant::Bool(o.global)), S_OK);
  EXPECT_EQ(PutProperty(re.get(), u"Multiline", Variant::Bool(o.multiline)), S_OK);
  return re;
}

std::int32_t IntOf(IDispatch* object, const char16_t* name) {
  Variant v;
  EXPECT_EQ(GetProperty(object, name, &v), S_OK) << std::string(name, name + std::char_traits<char16_t>::length(name));
  EXPECT_EQ(v.vt, VT_I4);
  return v.lVal;
}

struct Found {
  std::u16string value;
  int firstIndex;
  int length;
  bool operator==(const Found&) const = default;
};

void PrintTo(const Found& f, std::ostream* os) {
  *os << "{" << std::string(f.value.begin(), f.value.end()) << " @" << f.firstIndex << " +" << f.length << "}";
}

std::vector<Found> Execute(IDispatch* re, const std::u16string& subject) {
  Variant matches;
  EXPECT_EQ(CallMethod(re, u"Execute", &matches, {Variant::String(subject)}), S_OK);
  std::vector<Found> found;
  if (matches.object() == nullptr) return found;
  const int n = IntOf(matches.object(), u"Count");
  for (int i = 0; i < n; ++i) {
    Variant match;
    EXPECT_EQ(GetProperty(matches.object(), u"Item", &match, {Variant::Int(i)}), S_OK);
    Variant value;
    EXPECT_EQ(GetProperty(match.object(), u"Value", &value), S_OK);
    found.push_back({value.bstrVal, IntOf(match.object(), u"FirstIndex"), IntOf(match.object(), u"Length")});
  }
  return found;
}

TEST(AutomationTest, CreationNeedsAnInitialisedApartmentOnTheCallingThread) {
  DispatchPtr re;
  EXPECT_EQ(CreateObject(u"VBScript.RegExp", &re), CO_E_NOTINITIALIZED);
  EXPECT_FALSE(re);

  EXPECT_EQ(CoInitialize(nullptr), S_OK);
  EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
  CoUninitialize();
  EXPECT_EQ(CreateObject(u"VBScript.RegExp", &re), S_OK);
  EXPECT_TRUE(re);
  EXPECT_EQ(CreateObject(u"VBScript.NoSuchThing", &re), CO_E_CLASSSTRING);
  EXPECT_FALSE(re);

  // The apartment belongs to this thread only.
  HRESULT elsewhere = S_OK;
  std::thread([&] {
    DispatchPtr other;
    elsewhere = CreateObject(u"VBScript.RegExp", &other);
  }).join();
  EXPECT_EQ(elsewhere, CO_E_NOTINITIALIZED);

  CoUninitialize();
  CoUninitialize();  // unbalanced: does nothing
  EXPECT_EQ(CreateObject(u"VBScript.RegExp", &re), CO_E_NOTINITIALIZED);
}

TEST(AutomationTest, RefusedCallsFailAndYieldNothing) {
  Apartment apartment;
  DispatchPtr re = NewRegExp(u"(a)", {.global = true});
  Variant matches;
  ASSERT_EQ(CallMethod(re.get(), u"Execute", &matches, {Variant::String(u"aa")}), S_OK);
  IDispatch* collection = matches.object();
  ASSERT_NE(collection, nullptr);

  struct Case {
    const char* what;
    IDispatch* object;
    const char16_t* member;
    WORD kind;
    std::vector<Variant> args;
    HRESULT expected;
  };
  const Case cases[] = {
      {"unknown member", re.get(), u"Singleline", DISPATCH_PROPERTYPUT, {Variant::Bool(true)}, DISP_E_UNKNOWNNAME},
      {"unknown method", re.get(), u"Compile", DISPATCH_METHOD, {}, DISP_E_UNKNOWNNAME},
      {"null object", nullptr, u"Count", DISPATCH_PROPERTYGET, {}, E_POINTER},
      {"index past the end", collection, u"Item", DISPATCH_PROPERTYGET, {Variant::Int(2)}, DISP_E_BADINDEX},
      {"negative index", collection, u"Item", DISPATCH_PROPERTYGET, {Variant::Int(-1)}, DISP_E_BADINDEX},
      {"index of the wrong kind", collection, u"Item", DISPATCH_PROPERTYGET, {Variant::String(u"0")},
       DISP_E_TYPEMISMATCH},
      {"missing argument", re.get(), u"Execute", DISPATCH_METHOD, {}, DISP_E_BADPARAMCOUNT},
      {"subject of the wrong kind", re.get(), u"Test", DISPATCH_METHOD, {Variant::Int(1)}, DISP_E_TYPEMISMATCH},
      {"flag of the wrong kind", re.get(), u"Global", DISPATCH_PROPERTYPUT, {Variant::String(u"yes")},
       DISP_E_TYPEMISMATCH},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Variant result = Variant::Int(7);
    HRESULT hr = E_FAIL;
    if (c.kind == DISPATCH_PROPERTYPUT) {
      hr = PutProperty(c.object, c.member, c.args[0]);
    } else if (c.args.empty()) {
      hr = c.kind == DISPATCH_METHOD ? CallMethod(c.object, c.member, &result) : GetProperty(c.object, c.member, &result);
    } else {
      hr = c.kind == DISPATCH_METHOD ? CallMethod(c.object, c.member, &result, {c.args[0]})
                                     : GetProperty(c.object, c.member, &result, {c.args[0]});
    }
    EXPECT_EQ(hr, c.expected);
    if (c.kind != DISPATCH_PROPERTYPUT) {
      EXPECT_EQ(result.vt, VT_EMPTY);
    }
  }
  // Nothing above disturbed the objects.
  EXPECT_EQ(IntOf(collection, u"Count"), 2);
}

TEST(RegExpTest, PropertiesStartFalseAndReadBackWhatWasWritten) {
  Apartment apartment;
  DispatchPtr re;
  ASSERT_EQ(CreateObject(u"VBScript.RegExp", &re), S_OK);
  for (const char16_t* flag : {u"IgnoreCase", u"Global", u"Multiline"}) {
    Variant v;
    ASSERT_EQ(GetProperty(re.get(), flag, &v), S_OK);
    EXPECT_EQ(v.vt, VT_BOOL);
    EXPECT_FALSE(v.boolVal);
    ASSERT_EQ(PutProperty(re.get(), flag, Variant::Bool(true)), S_OK);
    ASSERT_EQ(GetProperty(re.get(), flag, &v), S_OK);
    EXPECT_TRUE(v.boolVal);
  }
  Variant pattern;
  ASSERT_EQ(PutProperty(re.get(), u"pattern", Variant::String(u"a|b")), S_OK);  // names ignore case
  ASSERT_EQ(GetProperty(re.get(), u"Pattern", &pattern), S_OK);
  EXPECT_EQ(pattern.bstrVal, u"a|b");
}

struct ExecuteCase {
  const char* what;
  std::u16string pattern;
  Options options;
  std::u16string subject;
  std::vector<Found> expected;
};

class ExecuteTest : public testing::TestWithParam<ExecuteCase> {};

TEST_P(ExecuteTest, FindsTheExpectedMatches) {
  Apartment apartment;
  const ExecuteCase& c = GetParam();
  DispatchPtr re = NewRegExp(c.pattern, c.options);
  EXPECT_EQ(Execute(re.get(), c.subject), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ExecuteTest,
    testing::Values(
        ExecuteCase{"first match only without Global", u"a.", {}, u"xa1a2", {{u"a1", 1, 2}}},
        ExecuteCase{"every match with Global", u"a.", {.global = true}, u"xa1a2", {{u"a1", 1, 2}, {u"a2", 3, 2}}},
        ExecuteCase{"letter case counts by default", u"ab", {.global = true}, u"AB ab", {{u"ab", 3, 2}}},
        ExecuteCase{"IgnoreCase", u"ab", {.ignoreCase = true, .global = true}, u"AB ab",
                    {{u"AB", 0, 2}, {u"ab", 3, 2}}},
        ExecuteCase{"^ and $ at line ends with Multiline", u"^\\w+$", {.global = true, .multiline = true},
                    u"ab\ncd", {{u"ab", 0, 2}, {u"cd", 3, 2}}},
        ExecuteCase{"$ only at the very end without Multiline", u"\\w+$", {.global = true}, u"ab\ncd\n", {}},
        ExecuteCase{"the dot stops at a line feed", u"a.*", {}, u"a1\r\nb", {{u"a1\r", 0, 3}}},
        ExecuteCase{"lazy class over line breaks", u"<([\\s|\\S]*?)>", {.global = true}, u"<a\r\nb><c>",
                    {{u"<a\r\nb>", 0, 6}, {u"<c>", 6, 3}}},
        ExecuteCase{"indexes count UTF-16 units", u"\u540d.", {.global = true}, u"\U0001F600\u540d\U0001F600x",
                    {{u"\u540d\U0001F600", 2, 3}}},
        ExecuteCase{"empty matches step over a surrogate pair whole", u"x*", {.global = true}, u"a\U0001F600b",
                    {{u"", 0, 0}, {u"", 1, 0}, {u"", 3, 0}, {u"", 4, 0}}},
        ExecuteCase{"an empty match after a non-empty one", u"a*", {.global = true}, u"aab",
                    {{u"aa", 0, 2}, {u"", 2, 0}, {u"", 3, 0}}},
        ExecuteCase{"\\u escapes", u"\\u4e2d", {}, u"x\u4e2d", {{u"\u4e2d", 1, 1}}},
        ExecuteCase{"backreference to an unset group matches empty", u"(a)?\\1b", {}, u"b", {{u"b", 0, 1}}},
        ExecuteCase{"an empty class matches nothing", u"[]a|b", {.global = true}, u"ab", {{u"b", 1, 1}}},
        ExecuteCase{"a lone surrogate does not stop matching", u"a.b", {.global = true},
                    std::u16string(u"a") + char16_t(0xD800) + u"b a" + char16_t(0xDC00) + u"b",
                    {{u"a\uFFFDb", 0, 3}, {u"a\uFFFDb", 4, 3}}}),
    [](const testing::TestParamInfo<ExecuteCase>& info) { return "Case" + std::to_string(info.index); });

TEST(RegExpTest, SubMatchesGiveEveryGroupAndEmptyForAnUnsetOne) {
  Apartment apartment;
  DispatchPtr re = NewRegExp(u"(a)(x)?(b)");
  Variant matches;
  ASSERT_EQ(CallMethod(re.get(), u"Execute", &matches, {Variant::String(u"ab")}), S_OK);
  Variant match;
  ASSERT_EQ(GetProperty(matches.object(), u"Item", &match, {Variant::Int(0)}), S_OK);
  Variant groups;
  ASSERT_EQ(GetProperty(match.object(), u"SubMatches", &groups), S_OK);
  EXPECT_EQ(IntOf(groups.object(), u"Count"), 3);
  Variant v;
  ASSERT_EQ(GetProperty(groups.object(), u"Item", &v, {Variant::Int(0)}), S_OK);
  EXPECT_EQ(v.vt, VT_BSTR);
  EXPECT_EQ(v.bstrVal, u"a");
  ASSERT_EQ(GetProperty(groups.object(), u"Item", &v, {Variant::Int(1)}), S_OK);
  EXPECT_EQ(v.vt, VT_EMPTY);
  ASSERT_EQ(GetProperty(groups.object(), u"Item", &v, {Variant::Double(2.0)}), S_OK);
  EXPECT_EQ(v.bstrVal, u"b");
  EXPECT_EQ(GetProperty(groups.object(), u"Item", &v, {Variant::Int(3)}), DISP_E_BADINDEX);

  // The collection outlives the component and a later Execute.
  re.reset();
  EXPECT_EQ(IntOf(matches.object(), u"Count"), 1);
}

struct ReplaceCase {
  std::u16string pattern;
  bool global;
  std::u16string subject;
  std::u16string replacement;
  std::u16string expected;
};

TEST(RegExpTest, ReplaceExpandsGroupsWholeMatchAndDollar) {
  Apartment apartment;
  const ReplaceCase cases[] = {
      {u"(\\d+)", true, u"a1b22", u"<$1>", u"a<1>b<22>"},
      {u"(\\d+)", false, u"a1b22", u"<$1>", u"a<1>b22"},
      {u"\\d", true, u"a1b2", u"[$&]", u"a[1]b[2]"},
      {u"\\d", true, u"a1", u"$$", u"a$"},
      {u"(a)(x)?", true, u"ab", u"$2$1$1", u"aab"},
      {u"(a)", true, u"ab", u"$0$3$", u"$0$3$b"},
      {u"b", true, u"abc", u"[$`|$']", u"a[a|c]c"},
      {u"x*", true, u"ab", u"-", u"-a-b-"},
      {u"q", true, u"abc", u"-", u"abc"},
  };
  for (const ReplaceCase& c : cases) {
    DispatchPtr re = NewRegExp(c.pattern, {.global = c.global});
    Variant out;
    ASSERT_EQ(CallMethod(re.get(), u"Replace", &out, {Variant::String(c.subject), Variant::String(c.replacement)}),
              S_OK);
    EXPECT_EQ(out.bstrVal, c.expected) << std::string(c.replacement.begin(), c.replacement.end());
  }
}

TEST(RegExpTest, TestTellsWhetherAnythingMatches) {
  Apartment apartment;
  DispatchPtr re = NewRegExp(u"^b", {.multiline = true});
  Variant v;
  ASSERT_EQ(CallMethod(re.get(), u"Test", &v, {Variant::String(u"a\nb")}), S_OK);
  EXPECT_EQ(v.vt, VT_BOOL);
  EXPECT_TRUE(v.boolVal);
  ASSERT_EQ(PutProperty(re.get(), u"Multiline", Variant::Bool(false)), S_OK);
  ASSERT_EQ(CallMethod(re.get(), u"Test", &v, {Variant::String(u"a\nb")}), S_OK);
  EXPECT_FALSE(v.boolVal);
}

TEST(RegExpTest, ARefusedPatternFailsEveryMatchingCallUntilItIsFixed) {
  Apartment apartment;
  DispatchPtr re = NewRegExp(u"a(b");
  for (const char16_t* method : {u"Execute", u"Test"}) {
    Variant out = Variant::Int(1);
    EXPECT_EQ(CallMethod(re.get(), method, &out, {Variant::String(u"ab")}), DISP_E_EXCEPTION);
    EXPECT_EQ(out.vt, VT_EMPTY);
  }
  Variant out;
  EXPECT_FALSE(SUCCEEDED(CallMethod(re.get(), u"Replace", &out, {Variant::String(u"ab"), Variant::String(u"")})));
  ASSERT_EQ(PutProperty(re.get(), u"Pattern", Variant::String(u"a(b)")), S_OK);
  EXPECT_EQ(Execute(re.get(), u"ab"), (std::vector<Found>{{u"ab", 0, 2}}));
}

TEST(RegExpTest, ARunawayPatternEndsAsNoMatch) {
  Apartment apartment;
  DispatchPtr re = NewRegExp(u"(a+)+$", {.global = true});
  EXPECT_EQ(Execute(re.get(), std::u16string(30, u'a') + u"b"), std::vector<Found>{});
  // The object stays usable.
  EXPECT_EQ(Execute(re.get(), u"aa"), (std::vector<Found>{{u"aa", 0, 2}}));
}

// Every character of a subject with lone surrogates scattered anywhere, block
// edges of the subject scan included: a lone one matches as U+FFFD, a pair as
// one character, and every index still counts the caller's units.
TEST(RegExpTest, LoneSurrogatesAnywhereMatchAsReplacementCharacters) {
  Apartment apartment;
  DispatchPtr re = NewRegExp(u".", {.global = true});
  std::mt19937 random(13);
  const char16_t kUnits[] = {u'a', u'\u540d', 0xD83D, 0xDE00, 0xDBFF, 0xDC00, u'\uFFFD', u'\uD7FF', u'\uE000'};
  for (int round = 0; round < 300; ++round) {
    std::u16string subject(1 + random() % 200, u'a');
    // A few odd units in plain text, so that one may be alone in its block.
    for (int k = random() % 3; k >= 0; --k) subject[random() % subject.size()] = kUnits[random() % std::size(kUnits)];
    std::vector<Found> expected;
    for (std::size_t i = 0; i < subject.size(); ++i) {
      const char16_t c = subject[i];
      const char16_t next = i + 1 < subject.size() ? subject[i + 1] : u'a';
      if (c >= 0xD800 && c <= 0xDBFF && next >= 0xDC00 && next <= 0xDFFF) {
        expected.push_back({subject.substr(i, 2), static_cast<int>(i), 2});
        ++i;
      } else if (c >= 0xD800 && c <= 0xDFFF) {
        expected.push_back({u"\uFFFD", static_cast<int>(i), 1});
      } else {
        expected.push_back({std::u16string(1, c), static_cast<int>(i), 1});
      }
    }
    ASSERT_EQ(Execute(re.get(), subject), expected) << "round " << round;
  }
}

TEST(RegExpTest, AMatchThatNeedsADeepStackStillMatches) {
  Apartment apartment;
  // Every repetition of the group leaves a place to go back to: far more
  // than a small stack holds.
  std::u16string subject;
  for (int i = 0; i < 20000; ++i) subject += u"ab";
  subject += u"c";
  DispatchPtr re = NewRegExp(u"(?:a|(b))*c", {.global = true});
  EXPECT_EQ(Execute(re.get(), subject), (std::vector<Found>{{subject, 0, static_cast<int>(subject.size())}}));
}

TEST(RegExpTest, LazyCaptureSpansALargePage) {
  Apartment apartment;
  // 10 M characters in lines with bare line feeds; one capture covers all of
  // it, and a second pair follows.
  std::u16string line = u"<td>\u540d\u79f0 item</td>\n";
  std::u16string body;
  while (body.size() < 10 * 1024 * 1024) body += line;
  const std::u16string page = u"L" + body + u"R xLyR";
  DispatchPtr re = NewRegExp(u"L([\\s|\\S]*?)R", {.ignoreCase = true, .global = true, .multiline = true});
  Variant matches;
  ASSERT_EQ(CallMethod(re.get(), u"Execute", &matches, {Variant::String(page)}), S_OK);
  ASSERT_EQ(IntOf(matches.object(), u"Count"), 2);
  Variant match;
  ASSERT_EQ(GetProperty(matches.object(), u"Item", &match, {Variant::Int(0)}), S_OK);
  EXPECT_EQ(IntOf(match.object(), u"Length"), static_cast<int>(body.size() + 2));
  Variant groups;
  ASSERT_EQ(GetProperty(match.object(), u"SubMatches", &groups), S_OK);
  Variant first;
  ASSERT_EQ(GetProperty(groups.object(), u"Item", &first, {Variant::Int(0)}), S_OK);
  EXPECT_TRUE(first.bstrVal == body);
}

}  // namespace
