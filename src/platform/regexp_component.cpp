// The regular-expression component on PCRE2's 16-bit library with its JIT.
//
// Subjects are matched in their UTF-16 form. A subject is checked for valid
// UTF-16 once per call; when it holds lone surrogates they are replaced by
// U+FFFD in a copy (one unit for one unit, so every index still fits the
// caller's text). Every match then runs with PCRE2_NO_UTF_CHECK: checking
// the whole subject again at each start offset would make a global match
// over a large page quadratic.
#include "platform/regexp_component.h"

#define PCRE2_CODE_UNIT_WIDTH 16
#include <pcre2.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ascii_case.h"

namespace {

using Subject = std::shared_ptr<const std::u16string>;

// Runaway patterns: the interpreter's and the JIT's budgets. A pattern that
// is linear in the subject needs a few units of the match limit per
// character, so the limit grows with the subject; an exponential backtrack
// overruns it quickly. The JIT stack bounds the JIT's memory, the heap and
// depth limits the interpreter's (used only when JIT compilation fails).
constexpr std::uint32_t kMatchLimitBase = 10'000'000;
constexpr std::uint32_t kMatchLimitPerUnit = 16;
constexpr std::uint32_t kHeapLimitKib = 256 * 1024;
constexpr std::uint32_t kDepthLimit = 10'000'000;
constexpr std::size_t kJitStackStart = 32 * 1024;
constexpr std::size_t kJitStackMax = 8 * 1024 * 1024;

PCRE2_SPTR16 Units(const std::u16string& s) { return reinterpret_cast<PCRE2_SPTR16>(s.data()); }

bool IsHigh(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLow(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// Whether any unit is a surrogate. Branch-free over blocks, so it runs at
// memory speed: a page converted from code page 936 has none, and the
// careful check below only runs for subjects that do.
bool HasSurrogate(const std::u16string& s) {
  constexpr std::size_t kBlock = 64;
  const char16_t* p = s.data();
  const std::size_t n = s.size();
  std::size_t i = 0;
  for (; i + kBlock <= n; i += kBlock) {
    unsigned found = 0;
    for (std::size_t k = 0; k < kBlock; ++k) found |= (p[i + k] & 0xF800u) == 0xD800u;
    if (found != 0) return true;
  }
  for (; i < n; ++i) {
    if ((p[i] & 0xF800u) == 0xD800u) return true;
  }
  return false;
}

bool IsValidUtf16(const std::u16string& s) {
  if (!HasSurrogate(s)) return true;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (IsHigh(s[i]) && i + 1 < s.size() && IsLow(s[i + 1])) {
      ++i;
    } else if (IsHigh(s[i]) || IsLow(s[i])) {
      return false;
    }
  }
  return true;
}

// A copy with every lone surrogate replaced by U+FFFD.
std::u16string Repaired(const std::u16string& s) {
  std::u16string fixed = s;
  for (std::size_t i = 0; i < fixed.size(); ++i) {
    if (IsHigh(fixed[i]) && i + 1 < fixed.size() && IsLow(fixed[i + 1])) {
      ++i;
    } else if (IsHigh(fixed[i]) || IsLow(fixed[i])) {
      fixed[i] = u'\uFFFD';
    }
  }
  return fixed;
}

// The subject ready for matching without UTF checks: the text itself when
// it is valid, otherwise a repaired copy kept in `storage`.
const std::u16string& ValidSubject(const std::u16string& text, std::u16string* storage) {
  if (IsValidUtf16(text)) return text;
  *storage = Repaired(text);
  return *storage;
}

HRESULT LookUp(const char16_t* name, DISPID* id, std::initializer_list<std::u16string_view> members) {
  if (name == nullptr || id == nullptr) return E_POINTER;
  DISPID n = 1;
  for (std::u16string_view m : members) {
    if (AsciiEqualsIgnoringCase(std::u16string_view(name), m)) {
      *id = n;
      return S_OK;
    }
    ++n;
  }
  *id = DISPID_UNKNOWN;
  return DISP_E_UNKNOWNNAME;
}

bool ToBool(const Variant& v, bool* out) {
  switch (v.vt) {
    case VT_BOOL: *out = v.boolVal; return true;
    case VT_I4: *out = v.lVal != 0; return true;
    case VT_R8: *out = v.dblVal != 0; return true;
    default: return false;
  }
}

bool ToString(const Variant& v, const std::u16string** out) {
  static const std::u16string empty;
  if (v.vt == VT_BSTR) {
    *out = &v.bstrVal;
    return true;
  }
  if (v.vt == VT_EMPTY) {
    *out = &empty;
    return true;
  }
  return false;
}

bool ToIndex(const Variant& v, std::int64_t* out) {
  if (v.vt == VT_I4) {
    *out = v.lVal;
    return true;
  }
  if (v.vt == VT_R8 && v.dblVal > -1e15 && v.dblVal < 1e15) {
    *out = static_cast<std::int64_t>(v.dblVal);
    return true;
  }
  return false;
}

// Where each match and its groups lie: (1 + groups) pairs of offsets per
// match, PCRE2_UNSET for a group that took no part.
// Only the stretch of the subject that the matches cover is kept; `base` is
// where it starts in the whole subject.
struct MatchTable {
  Subject subject;
  PCRE2_SIZE base = 0;
  std::size_t pairs = 1;
  std::vector<PCRE2_SIZE> offsets;

  std::size_t count() const { return offsets.size() / (2 * pairs); }
  const PCRE2_SIZE* match(std::size_t i) const { return offsets.data() + i * 2 * pairs; }
};

// "Count" (member 1) and "Item" (member 2) of a collection of `count`
// members; `item` makes the member at a 0-based index.
template <class MakeItem>
HRESULT InvokeCollection(DISPID id, WORD flags, const Variant* args, unsigned argCount, Variant* result,
                         std::size_t count, MakeItem item) {
  if ((flags & (DISPATCH_PROPERTYGET | DISPATCH_METHOD)) == 0) return DISP_E_MEMBERNOTFOUND;
  if (id == 1) {
    if (argCount != 0) return DISP_E_BADPARAMCOUNT;
    *result = Variant::Int(static_cast<std::int32_t>(count));
    return S_OK;
  }
  if (id != 2) return DISP_E_MEMBERNOTFOUND;
  if (argCount != 1) return DISP_E_BADPARAMCOUNT;
  std::int64_t i = 0;
  if (!ToIndex(args[0], &i)) return DISP_E_TYPEMISMATCH;
  if (i < 0 || static_cast<std::size_t>(i) >= count) return DISP_E_BADINDEX;
  *result = item(static_cast<std::size_t>(i));
  return S_OK;
}

class SubMatchesObject final : public DispatchBase {
 public:
  SubMatchesObject(std::shared_ptr<const MatchTable> table, std::size_t index)
      : table_(std::move(table)), index_(index) {}

  HRESULT GetIDsOfNames(const char16_t* name, DISPID* id) override {
    return LookUp(name, id, {u"Count", u"Item"});
  }

  HRESULT Invoke(DISPID id, WORD flags, const Variant* args, unsigned argCount, Variant* result) override {
    return InvokeCollection(id, flags, args, argCount, result, table_->pairs - 1, [&](std::size_t i) {
      const PCRE2_SIZE* pair = table_->match(index_) + 2 * (i + 1);
      if (pair[0] == PCRE2_UNSET || pair[1] < pair[0]) return Variant();
      return Variant::String(table_->subject->substr(pair[0], pair[1] - pair[0]));
    });
  }

 private:
  std::shared_ptr<const MatchTable> table_;
  std::size_t index_;
};

class MatchObject final : public DispatchBase {
 public:
  MatchObject(std::shared_ptr<const MatchTable> table, std::size_t index)
      : table_(std::move(table)), index_(index) {}

  HRESULT GetIDsOfNames(const char16_t* name, DISPID* id) override {
    return LookUp(name, id, {u"Value", u"FirstIndex", u"Length", u"SubMatches"});
  }

  HRESULT Invoke(DISPID id, WORD flags, const Variant*, unsigned argCount, Variant* result) override {
    if ((flags & (DISPATCH_PROPERTYGET | DISPATCH_METHOD)) == 0) return DISP_E_MEMBERNOTFOUND;
    if (argCount != 0) return DISP_E_BADPARAMCOUNT;
    const PCRE2_SIZE* pair = table_->match(index_);
    // With \K in a lookbehind the reported end can lie before the start.
    const PCRE2_SIZE start = pair[0];
    const PCRE2_SIZE length = pair[1] > pair[0] ? pair[1] - pair[0] : 0;
    switch (id) {
      case 1: *result = Variant::String(table_->subject->substr(start, length)); return S_OK;
      case 2: *result = Variant::Int(static_cast<std::int32_t>(start + table_->base)); return S_OK;
      case 3: *result = Variant::Int(static_cast<std::int32_t>(length)); return S_OK;
      case 4:
        *result = Variant::Object(DispatchPtr::Adopt(new SubMatchesObject(table_, index_)));
        return S_OK;
      default: return DISP_E_MEMBERNOTFOUND;
    }
  }

 private:
  std::shared_ptr<const MatchTable> table_;
  std::size_t index_;
};

class MatchCollectionObject final : public DispatchBase {
 public:
  explicit MatchCollectionObject(std::shared_ptr<const MatchTable> table) : table_(std::move(table)) {}

  HRESULT GetIDsOfNames(const char16_t* name, DISPID* id) override {
    return LookUp(name, id, {u"Count", u"Item"});
  }

  HRESULT Invoke(DISPID id, WORD flags, const Variant* args, unsigned argCount, Variant* result) override {
    return InvokeCollection(id, flags, args, argCount, result, table_->count(), [&](std::size_t i) {
      return Variant::Object(DispatchPtr::Adopt(new MatchObject(table_, i)));
    });
  }

 private:
  std::shared_ptr<const MatchTable> table_;
};

class RegExpObject final : public DispatchBase {
 public:
  RegExpObject() = default;
  RegExpObject(const RegExpObject&) = delete;
  RegExpObject& operator=(const RegExpObject&) = delete;

  HRESULT GetIDsOfNames(const char16_t* name, DISPID* id) override {
    return LookUp(name, id, {u"Pattern", u"IgnoreCase", u"Global", u"Multiline", u"Execute", u"Replace", u"Test"});
  }

  HRESULT Invoke(DISPID id, WORD flags, const Variant* args, unsigned argCount, Variant* result) override {
    if (id >= kPattern && id <= kMultiline) return Property(id, flags, args, argCount, result);
    if ((flags & DISPATCH_METHOD) == 0) return DISP_E_MEMBERNOTFOUND;
    switch (id) {
      case kExecute: return Execute(args, argCount, result);
      case kReplace: return Replace(args, argCount, result);
      case kTest: return Test(args, argCount, result);
      default: return DISP_E_MEMBERNOTFOUND;
    }
  }

 protected:
  ~RegExpObject() override {
    Forget();
    if (matchContext_ != nullptr) pcre2_match_context_free(matchContext_);
    if (jitStack_ != nullptr) pcre2_jit_stack_free(jitStack_);
  }

 private:
  enum : DISPID { kPattern = 1, kIgnoreCase, kGlobal, kMultiline, kExecute, kReplace, kTest };

  HRESULT Property(DISPID id, WORD flags, const Variant* args, unsigned argCount, Variant* result) {
    bool* flag = id == kIgnoreCase ? &ignoreCase_ : id == kGlobal ? &global_ : id == kMultiline ? &multiline_ : nullptr;
    if (flags & DISPATCH_PROPERTYPUT) {
      if (argCount != 1) return DISP_E_BADPARAMCOUNT;
      if (flag == nullptr) {
        const std::u16string* pattern = nullptr;
        if (!ToString(args[0], &pattern)) return DISP_E_TYPEMISMATCH;
        pattern_ = *pattern;
      } else if (!ToBool(args[0], flag)) {
        return DISP_E_TYPEMISMATCH;
      }
      if (id != kGlobal) Forget();
      return S_OK;
    }
    if ((flags & DISPATCH_PROPERTYGET) == 0) return DISP_E_MEMBERNOTFOUND;
    if (argCount != 0) return DISP_E_BADPARAMCOUNT;
    *result = flag == nullptr ? Variant::String(pattern_) : Variant::Bool(*flag);
    return S_OK;
  }

  // Drops the compiled pattern after a change of pattern or flags.
  void Forget() {
    if (matchData_ != nullptr) pcre2_match_data_free(matchData_);
    if (code_ != nullptr) pcre2_code_free(code_);
    matchData_ = nullptr;
    code_ = nullptr;
    compiled_ = false;
  }

  bool Compile() {
    if (compiled_) return code_ != nullptr;
    compiled_ = true;
    std::uint32_t options = PCRE2_UTF | PCRE2_ALT_BSUX | PCRE2_MATCH_UNSET_BACKREF | PCRE2_ALLOW_EMPTY_CLASS;
    if (ignoreCase_) options |= PCRE2_CASELESS;
    options |= multiline_ ? PCRE2_MULTILINE : PCRE2_DOLLAR_ENDONLY;
    pcre2_compile_context* context = pcre2_compile_context_create(nullptr);
    if (context == nullptr) return false;
    pcre2_set_newline(context, PCRE2_NEWLINE_LF);
    int error = 0;
    PCRE2_SIZE errorOffset = 0;
    code_ = pcre2_compile(Units(pattern_), pattern_.size(), options, &error, &errorOffset, context);
    pcre2_compile_context_free(context);
    if (code_ == nullptr) return false;
    jit_ = pcre2_jit_compile(code_, PCRE2_JIT_COMPLETE) == 0;
    matchData_ = pcre2_match_data_create_from_pattern(code_, nullptr);
    if (matchContext_ == nullptr) {
      matchContext_ = pcre2_match_context_create(nullptr);
      if (matchContext_ != nullptr) {
        pcre2_set_heap_limit(matchContext_, kHeapLimitKib);
        pcre2_set_depth_limit(matchContext_, kDepthLimit);
      }
    }
    if (matchData_ == nullptr || matchContext_ == nullptr) {
      Forget();
      compiled_ = true;
      return false;
    }
    return true;
  }

  // The JIT's own stack, made only for a match that outgrows the default
  // one: reserving it costs more than the whole match of a small page.
  // False when there is none to add.
  bool AttachJitStack() {
    if (!jit_ || jitStack_ != nullptr) return false;
    jitStack_ = pcre2_jit_stack_create(kJitStackStart, kJitStackMax, nullptr);
    if (jitStack_ == nullptr) return false;
    pcre2_jit_stack_assign(matchContext_, nullptr, jitStack_);
    return true;
  }

  // Calls onMatch(ovector) for the first match, or for every match when
  // `all`, left to right. A match that overruns a limit ends the scan.
  template <class OnMatch>
  void Scan(const std::u16string& s, bool all, OnMatch onMatch) {
    const std::uint64_t budget = kMatchLimitBase + std::uint64_t{kMatchLimitPerUnit} * s.size();
    pcre2_set_match_limit(matchContext_, static_cast<std::uint32_t>(std::min<std::uint64_t>(budget, UINT32_MAX)));
    PCRE2_SIZE offset = 0;
    while (offset <= s.size()) {
      int rc = pcre2_match(code_, Units(s), s.size(), offset, PCRE2_NO_UTF_CHECK, matchData_, matchContext_);
      if (rc == PCRE2_ERROR_JIT_STACKLIMIT && AttachJitStack()) {
        rc = pcre2_match(code_, Units(s), s.size(), offset, PCRE2_NO_UTF_CHECK, matchData_, matchContext_);
      }
      if (rc < 0) return;
      const PCRE2_SIZE* ov = pcre2_get_ovector_pointer(matchData_);
      onMatch(ov);
      if (!all) return;
      PCRE2_SIZE next = ov[1];
      if (next <= ov[0]) {
        // An empty match: step over one character, a surrogate pair whole.
        next = std::max(ov[0], offset) + 1;
        if (next < s.size() && IsHigh(s[next - 1]) && IsLow(s[next])) ++next;
      }
      offset = next;
    }
  }

  HRESULT Execute(const Variant* args, unsigned argCount, Variant* result) {
    if (argCount != 1) return DISP_E_BADPARAMCOUNT;
    const std::u16string* text = nullptr;
    if (!ToString(args[0], &text)) return DISP_E_TYPEMISMATCH;
    if (!Compile()) return DISP_E_EXCEPTION;
    std::u16string repaired;
    const std::u16string& s = ValidSubject(*text, &repaired);
    auto table = std::make_shared<MatchTable>();
    table->pairs = pcre2_get_ovector_count(matchData_);
    Scan(s, global_, [&](const PCRE2_SIZE* ov) {
      table->offsets.insert(table->offsets.end(), ov, ov + 2 * table->pairs);
    });
    // Keep a copy of the stretch the matches and their groups cover, not of
    // the whole subject: a page without matches costs no copy at all.
    PCRE2_SIZE low = s.size();
    PCRE2_SIZE high = 0;
    for (std::size_t k = 0; k < table->offsets.size(); k += 2) {
      if (table->offsets[k] == PCRE2_UNSET) continue;
      low = std::min(low, std::min(table->offsets[k], table->offsets[k + 1]));
      high = std::max(high, std::max(table->offsets[k], table->offsets[k + 1]));
    }
    if (low > high) low = high = 0;
    for (PCRE2_SIZE& o : table->offsets) {
      if (o != PCRE2_UNSET) o -= low;
    }
    table->base = low;
    table->subject = std::make_shared<const std::u16string>(s, low, high - low);
    *result = Variant::Object(DispatchPtr::Adopt(new MatchCollectionObject(std::move(table))));
    return S_OK;
  }

  HRESULT Test(const Variant* args, unsigned argCount, Variant* result) {
    if (argCount != 1) return DISP_E_BADPARAMCOUNT;
    const std::u16string* text = nullptr;
    if (!ToString(args[0], &text)) return DISP_E_TYPEMISMATCH;
    if (!Compile()) return DISP_E_EXCEPTION;
    bool found = false;
    std::u16string repaired;
    Scan(ValidSubject(*text, &repaired), false, [&](const PCRE2_SIZE*) { found = true; });
    *result = Variant::Bool(found);
    return S_OK;
  }

  HRESULT Replace(const Variant* args, unsigned argCount, Variant* result) {
    if (argCount != 2) return DISP_E_BADPARAMCOUNT;
    const std::u16string* text = nullptr;
    const std::u16string* replacement = nullptr;
    if (!ToString(args[0], &text) || !ToString(args[1], &replacement)) return DISP_E_TYPEMISMATCH;
    if (!Compile()) return DISP_E_EXCEPTION;
    std::u16string repaired;
    const std::u16string& s = ValidSubject(*text, &repaired);
    const std::size_t groups = pcre2_get_ovector_count(matchData_) - 1;
    std::u16string out;
    PCRE2_SIZE copied = 0;
    Scan(s, global_, [&](const PCRE2_SIZE* ov) {
      const PCRE2_SIZE start = ov[0];
      const PCRE2_SIZE end = std::max(ov[0], ov[1]);
      if (start < copied) return;
      out.append(s, copied, start - copied);
      Substitute(*replacement, s, ov, groups, &out);
      copied = end;
    });
    out.append(s, copied, std::u16string::npos);
    *result = Variant::String(std::move(out));
    return S_OK;
  }

  // Expands $$, $&, $`, $' and $n / $nn (a group that exists; otherwise the
  // characters stand as written).
  static void Substitute(const std::u16string& r, const std::u16string& s, const PCRE2_SIZE* ov,
                         std::size_t groups, std::u16string* out) {
    auto group = [&](std::size_t n) {
      const PCRE2_SIZE* pair = ov + 2 * n;
      if (pair[0] != PCRE2_UNSET && pair[1] > pair[0]) out->append(s, pair[0], pair[1] - pair[0]);
    };
    auto digit = [&](std::size_t i) -> int {
      return i < r.size() && r[i] >= u'0' && r[i] <= u'9' ? r[i] - u'0' : -1;
    };
    for (std::size_t i = 0; i < r.size(); ++i) {
      if (r[i] != u'$' || i + 1 == r.size()) {
        out->push_back(r[i]);
        continue;
      }
      const char16_t c = r[i + 1];
      if (c == u'$') {
        out->push_back(u'$');
        ++i;
      } else if (c == u'&') {
        group(0);
        ++i;
      } else if (c == u'`') {
        out->append(s, 0, ov[0]);
        ++i;
      } else if (c == u'\'') {
        out->append(s, std::max(ov[0], ov[1]), std::u16string::npos);
        ++i;
      } else if (int d1 = digit(i + 1); d1 >= 0) {
        const int d2 = digit(i + 2);
        const int two = d2 >= 0 ? d1 * 10 + d2 : -1;
        if (two >= 1 && static_cast<std::size_t>(two) <= groups) {
          group(static_cast<std::size_t>(two));
          i += 2;
        } else if (d1 >= 1 && static_cast<std::size_t>(d1) <= groups) {
          group(static_cast<std::size_t>(d1));
          i += 1;
        } else {
          out->push_back(u'$');
        }
      } else {
        out->push_back(u'$');
      }
    }
  }

  std::u16string pattern_;
  bool ignoreCase_ = false;
  bool global_ = false;
  bool multiline_ = false;

  bool compiled_ = false;
  bool jit_ = false;
  pcre2_code* code_ = nullptr;
  pcre2_match_data* matchData_ = nullptr;
  pcre2_match_context* matchContext_ = nullptr;
  pcre2_jit_stack* jitStack_ = nullptr;
};

}  // namespace

IDispatch* NewRegExpComponent() { return new (std::nothrow) RegExpObject(); }
