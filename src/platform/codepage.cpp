// Code-page conversion on ICU converters.
//
// Converters keep state and must not be shared between threads, so every
// thread opens its own on first use and keeps them until it ends. Each call
// resets the converter it uses, so a failed call leaves nothing behind.
#include "platform/codepage.h"

#include <unicode/uchar.h>
#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>
#include <unicode/unorm2.h>
#include <unicode/utf16.h>

#include <climits>
#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/codepage_table.h"

namespace {

// ICU refuses longer targets in one call.
constexpr std::size_t kMaxTargetUnits = 0x3fffffff;
// Scratch size for size-only queries.
constexpr std::size_t kCountingChunk = 8192;

struct ThreadConverters {
  UConverter* gbk = nullptr;
  UConverter* utf8 = nullptr;
  // A second 936 converter that stops at the first unmappable character;
  // used to ask whether a composed character exists in the code page.
  UConverter* gbkProbe = nullptr;

  ThreadConverters() = default;
  ThreadConverters(const ThreadConverters&) = delete;
  ThreadConverters& operator=(const ThreadConverters&) = delete;
  ~ThreadConverters() {
    if (gbk != nullptr) ucnv_close(gbk);
    if (utf8 != nullptr) ucnv_close(utf8);
    if (gbkProbe != nullptr) ucnv_close(gbkProbe);
  }
};

ThreadConverters& Converters() {
  thread_local ThreadConverters converters;
  return converters;
}

UConverter* Open(const char* name) {
  UErrorCode error = U_ZERO_ERROR;
  UConverter* converter = ucnv_open(name, &error);
  if (U_FAILURE(error)) return nullptr;
  return converter;
}

// "windows-936" decodes the single byte 0x80 as the euro sign, as the
// system code page does; the plain "GBK" converter does not.
UConverter* ConverterFor(unsigned codePage) {
  ThreadConverters& c = Converters();
  if (codePage == CP_GBK) {
    if (c.gbk == nullptr) c.gbk = Open("windows-936");
    return c.gbk;
  }
  if (codePage == CP_UTF8) {
    if (c.utf8 == nullptr) c.utf8 = Open("UTF-8");
    return c.utf8;
  }
  return nullptr;
}

UConverter* GbkProbe() {
  ThreadConverters& c = Converters();
  if (c.gbkProbe == nullptr) {
    c.gbkProbe = Open("windows-936");
    if (c.gbkProbe == nullptr) return nullptr;
    UErrorCode error = U_ZERO_ERROR;
    ucnv_setFromUCallBack(c.gbkProbe, UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &error);
    if (U_FAILURE(error)) {
      ucnv_close(c.gbkProbe);
      c.gbkProbe = nullptr;
    }
  }
  return c.gbkProbe;
}

// The length of a source given with a count, or zero-terminated (-1) with
// its terminator.
std::size_t SourceLength(const char* source, int count) {
  if (count >= 0) return static_cast<std::size_t>(count);
  return std::strlen(source) + 1;
}

std::size_t SourceLength(const WCHAR* source, int count) {
  if (count >= 0) return static_cast<std::size_t>(count);
  return std::char_traits<char16_t>::length(source) + 1;
}

// Runs the whole source through `step` (one flushing ICU call per target
// buffer). With a destination it must fit; without one the output goes to a
// scratch buffer that is reused, and only its size counts. Returns the size
// written or needed, -1 on failure.
template <class Out, class Step>
long long Drive(Out* destination, std::size_t capacity, Step step) {
  UErrorCode error = U_ZERO_ERROR;
  if (destination != nullptr) {
    if (capacity > kMaxTargetUnits) capacity = kMaxTargetUnits;
    Out* target = destination;
    step(&target, destination + capacity, &error);
    if (U_FAILURE(error)) return -1;
    return target - destination;
  }
  Out scratch[kCountingChunk];
  long long total = 0;
  do {
    error = U_ZERO_ERROR;
    Out* target = scratch;
    step(&target, scratch + kCountingChunk, &error);
    total += target - scratch;
  } while (error == U_BUFFER_OVERFLOW_ERROR);
  if (U_FAILURE(error)) return -1;
  return total;
}

int ToResult(long long size) {
  if (size < 0 || size > INT_MAX) return 0;
  return static_cast<int>(size);
}

// The substitution used when a character cannot be encoded: the caller's
// default character if one was given, the converter's own otherwise ("?" in
// code page 936, U+FFFD in UTF-8). Every such character gets it, the
// invisible ones too. ICU's own substitution callback drops default-ignorable
// characters (U+FEFF, U+200B, U+00AD, ...); a text ending in one then did not
// fit a buffer of the size its own size query gave, since the conversion
// stops as soon as the buffer is full, before it learns that the last
// character writes nothing.
struct Substitution {
  char bytes[2] = {};
  int8_t length = 0;
  bool used = false;
};

void OnUnencodable(const void* context, UConverterFromUnicodeArgs* args, const UChar* /*units*/,
                   int32_t /*length*/, UChar32 /*codePoint*/, UConverterCallbackReason reason, UErrorCode* error) {
  if (reason > UCNV_IRREGULAR) return;  // reset, close, clone: nothing to substitute
  auto* substitution = static_cast<Substitution*>(const_cast<void*>(context));
  substitution->used = true;
  *error = U_ZERO_ERROR;
  if (substitution->length == 0) {
    ucnv_cbFromUWriteSub(args, 0, error);
  } else {
    ucnv_cbFromUWriteBytes(args, substitution->bytes, substitution->length, 0, error);
  }
}

bool EncodableInGbk(UChar32 codePoint) {
  UConverter* probe = GbkProbe();
  if (probe == nullptr) return false;
  UChar units[2];
  int32_t length = 0;
  UBool unused = false;
  U16_APPEND(units, length, 2, codePoint, unused);
  (void)unused;
  char out[8];
  UErrorCode error = U_ZERO_ERROR;
  ucnv_fromUChars(probe, out, sizeof out, units, length, &error);
  return U_SUCCESS(error);
}

// Composes each character followed by non-spacing marks into the
// precomposed character, where one exists and code page 936 holds it. Only
// such pairs change: the text is not normalised as a whole, since that
// would also rewrite characters the code page holds as they are (the CJK
// compatibility ideographs, for one). Returns false when nothing changed;
// `composed` is then untouched.
bool ComposeForGbk(std::u16string_view text, std::u16string& composed) {
  UErrorCode error = U_ZERO_ERROR;
  const UNormalizer2* nfc = unorm2_getNFCInstance(&error);
  if (U_FAILURE(error)) return false;
  const UChar* s = text.data();
  const std::size_t n = text.size();
  bool changed = false;
  std::size_t pos = 0;
  while (pos < n) {
    // Everything up to a normalisation boundary is already composed; the
    // span is found in bulk, so text without marks costs one call.
    std::size_t rest = n - pos;
    if (rest > INT32_MAX) rest = INT32_MAX;
    error = U_ZERO_ERROR;
    int32_t span = unorm2_spanQuickCheckYes(nfc, s + pos, static_cast<int32_t>(rest), &error);
    if (U_FAILURE(error)) span = static_cast<int32_t>(rest);
    if (changed) composed.append(s + pos, static_cast<std::size_t>(span));
    pos += static_cast<std::size_t>(span);
    if (pos >= n) break;

    // One character at the boundary, with the marks that follow it.
    const std::size_t start = pos;
    std::size_t i = pos;
    UChar32 base;
    U16_NEXT(s, i, n, base);
    const std::size_t afterBase = i;
    while (i < n) {
      std::size_t j = i;
      UChar32 mark;
      U16_NEXT(s, j, n, mark);
      if (u_charType(mark) != U_NON_SPACING_MARK) break;
      UChar32 precomposed = unorm2_composePair(nfc, base, mark);
      if (precomposed < 0 || !EncodableInGbk(precomposed)) break;
      base = precomposed;
      i = j;
    }
    if (i != afterBase) {
      if (!changed) {
        composed.assign(s, start);
        changed = true;
      }
      UChar units[2];
      int32_t length = 0;
      UBool unused = false;
      U16_APPEND(units, length, 2, base, unused);
      (void)unused;
      composed.append(units, static_cast<std::size_t>(length));
    } else if (changed) {
      composed.append(s + start, afterBase - start);
    }
    pos = i;
  }
  return changed;
}

}  // namespace

int MultiByteToWideChar(unsigned codePage, DWORD flags, const char* source, int sourceCount,
                        WCHAR* destination, int destinationCount) {
  if (flags != 0 || source == nullptr || sourceCount == 0 || sourceCount < -1 || destinationCount < 0) return 0;
  if (destinationCount > 0 && destination == nullptr) return 0;
  UConverter* converter = ConverterFor(codePage);
  if (converter == nullptr) return 0;

  const std::size_t length = SourceLength(source, sourceCount);
  if (length > INT_MAX) return 0;
  if (codePage == CP_GBK) {
    // Text the table covers converts without the converter. A destination
    // with room for a unit per byte takes the result in one pass.
    const bool roomy = destinationCount > 0 && static_cast<std::size_t>(destinationCount) >= length;
    const long long size = GbkToUtf16ByTable(source, length, roomy ? destination : nullptr);
    if (size >= 0) {
      if (destinationCount == 0 || roomy) return ToResult(size);
      if (size > destinationCount) return 0;
      GbkToUtf16ByTable(source, length, destination);
      return ToResult(size);
    }
  }
  ucnv_resetToUnicode(converter);
  const char* next = source;
  const char* const end = source + length;
  auto step = [&](UChar** target, UChar* limit, UErrorCode* error) {
    ucnv_toUnicode(converter, target, limit, &next, end, nullptr, true, error);
  };
  long long size = destinationCount == 0
                       ? Drive<UChar>(nullptr, 0, step)
                       : Drive<UChar>(destination, static_cast<std::size_t>(destinationCount), step);
  ucnv_resetToUnicode(converter);
  return ToResult(size);
}

int WideCharToMultiByte(unsigned codePage, DWORD flags, const WCHAR* source, int sourceCount,
                        char* destination, int destinationCount, const char* defaultChar,
                        BOOL* usedDefaultChar) {
  if (source == nullptr || sourceCount == 0 || sourceCount < -1 || destinationCount < 0) return 0;
  if (destinationCount > 0 && destination == nullptr) return 0;
  if (codePage == CP_UTF8) {
    // Every character has a UTF-8 form: there is no default character to
    // choose or to report.
    if (flags != 0 || defaultChar != nullptr || usedDefaultChar != nullptr) return 0;
  } else if ((flags & ~WC_COMPOSITECHECK) != 0) {
    return 0;
  }
  UConverter* converter = ConverterFor(codePage);
  if (converter == nullptr) return 0;

  std::size_t length = SourceLength(source, sourceCount);
  if (length > INT_MAX) return 0;
  if (codePage == CP_GBK && flags == 0) {
    // As above; every unit the table covers is one or two bytes.
    const bool roomy = destinationCount > 0 && static_cast<std::size_t>(destinationCount) >= 2 * length;
    const long long size = Utf16ToGbkByTable(source, length, roomy ? destination : nullptr);
    if (size >= 0) {
      if (destinationCount > 0 && !roomy) {
        if (size > destinationCount) return 0;
        Utf16ToGbkByTable(source, length, destination);
      }
      if (size > 0 && usedDefaultChar != nullptr) *usedDefaultChar = 0;
      return ToResult(size);
    }
  }
  const UChar* units = source;
  std::u16string composed;
  if ((flags & WC_COMPOSITECHECK) != 0 && ComposeForGbk(std::u16string_view(source, length), composed)) {
    units = composed.data();
    length = composed.size();
  }

  Substitution substitution;
  if (defaultChar != nullptr) {
    const auto lead = static_cast<unsigned char>(defaultChar[0]);
    substitution.bytes[0] = defaultChar[0];
    substitution.length = 1;
    if (lead >= 0x81 && lead != 0xFF && defaultChar[1] != '\0') {
      substitution.bytes[1] = defaultChar[1];
      substitution.length = 2;
    }
  }
  ucnv_resetFromUnicode(converter);
  UErrorCode error = U_ZERO_ERROR;
  ucnv_setFromUCallBack(converter, OnUnencodable, &substitution, nullptr, nullptr, &error);
  if (U_FAILURE(error)) return 0;

  const UChar* next = units;
  const UChar* const end = units + length;
  auto step = [&](char** target, char* limit, UErrorCode* stepError) {
    ucnv_fromUnicode(converter, target, limit, &next, end, nullptr, true, stepError);
  };
  long long size = destinationCount == 0
                       ? Drive<char>(nullptr, 0, step)
                       : Drive<char>(destination, static_cast<std::size_t>(destinationCount), step);
  ucnv_resetFromUnicode(converter);
  // The converter outlives this call; leave no pointer to `substitution`.
  error = U_ZERO_ERROR;
  ucnv_setFromUCallBack(converter, UCNV_FROM_U_CALLBACK_SUBSTITUTE, nullptr, nullptr, nullptr, &error);
  int result = ToResult(size);
  if (result != 0 && usedDefaultChar != nullptr) *usedDefaultChar = substitution.used ? 1 : 0;
  return result;
}

std::u16string CodePageToUtf16(unsigned codePage, std::string_view bytes) {
  bytes = bytes.substr(0, bytes.find('\0'));
  std::u16string units;
  if (bytes.empty() || bytes.size() > INT_MAX) return units;
  const int count = static_cast<int>(bytes.size());
  // Neither code page 936 nor UTF-8 makes more units than bytes, substitutes
  // included, so the byte count is room enough; the size query is only a
  // fallback.
  units.resize(bytes.size());
  int n = MultiByteToWideChar(codePage, 0, bytes.data(), count, units.data(), count);
  if (n == 0) {
    n = MultiByteToWideChar(codePage, 0, bytes.data(), count, nullptr, 0);
    if (n <= 0) return std::u16string();
    units.resize(static_cast<std::size_t>(n));
    n = MultiByteToWideChar(codePage, 0, bytes.data(), count, units.data(), n);
  }
  units.resize(static_cast<std::size_t>(n > 0 ? n : 0));
  return units;
}
