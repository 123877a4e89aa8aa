// The three value types every routine of the program is written on.
//
//   Text name = "名称";                 // bytes of code page 936, no zero byte
//   ByteSet body = ToByteSet(name);     // counted bytes of any value
//   TextArray lines = SplitText(page, "\r\n");
//
// Positions are 1-based byte positions; the empty value and an absent value
// are one and the same. All storage comes from one allocator, which ends the
// program with a runtime error when memory runs out: no caller ever sees a
// failed allocation.
//
// Primitives take their text arguments as std::string_view, so literals and
// Text values are accepted alike. A function that joins (ConcatTexts,
// ConcatByteSets) takes its first argument by value: pass it with std::move
// to append in place, amortised O(1) per byte.
#pragma once

#include <cstddef>
#include <cstring>
#include <cwchar>
#include <ios>
#include <string>
#include <type_traits>
#include <string_view>
#include <vector>

namespace text_internal {

// Called when an allocation of `bytes` cannot be satisfied; does not return.
[[noreturn]] void AllocationFailed(std::size_t bytes);
// Raw storage for the allocators below; a failure reports `reported` bytes.
void* Allocate(std::size_t bytes, std::size_t reported);
void Deallocate(void* p) noexcept;

}  // namespace text_internal

// The one allocator of text, byte-set and array storage.
template <class T>
struct Allocator {
  using value_type = T;
  Allocator() noexcept = default;
  template <class U>
  Allocator(const Allocator<U>&) noexcept {}
  T* allocate(std::size_t n) {
    if (n > static_cast<std::size_t>(-1) / sizeof(T)) text_internal::AllocationFailed(static_cast<std::size_t>(-1));
    return static_cast<T*>(text_internal::Allocate(n * sizeof(T), n * sizeof(T)));
  }
  void deallocate(T* p, std::size_t) noexcept { text_internal::Deallocate(p); }
  template <class U>
  bool operator==(const Allocator<U>&) const noexcept { return true; }
};

// Bytes in code page 936 without zero bytes.
using Text = std::basic_string<char, std::char_traits<char>, Allocator<char>>;

namespace text_internal {

// Character traits for raw bytes: copies and fills as memcpy and memset, so
// that byte sets grow and copy in bulk rather than one byte at a time.
struct ByteTraits {
  using char_type = unsigned char;
  using int_type = int;
  using off_type = std::streamoff;
  using pos_type = std::streampos;
  using state_type = std::mbstate_t;
  static constexpr void assign(char_type& r, const char_type& a) noexcept { r = a; }
  static constexpr bool eq(char_type a, char_type b) noexcept { return a == b; }
  static constexpr bool lt(char_type a, char_type b) noexcept { return a < b; }
  static int compare(const char_type* a, const char_type* b, std::size_t n) noexcept {
    return n == 0 ? 0 : std::memcmp(a, b, n);
  }
  static std::size_t length(const char_type* s) noexcept {
    return std::strlen(reinterpret_cast<const char*>(s));
  }
  static const char_type* find(const char_type* s, std::size_t n, const char_type& a) noexcept {
    return n == 0 ? nullptr : static_cast<const char_type*>(std::memchr(s, a, n));
  }
  static char_type* move(char_type* d, const char_type* s, std::size_t n) noexcept {
    return n == 0 ? d : static_cast<char_type*>(std::memmove(d, s, n));
  }
  static char_type* copy(char_type* d, const char_type* s, std::size_t n) noexcept {
    return n == 0 ? d : static_cast<char_type*>(std::memcpy(d, s, n));
  }
  static char_type* assign(char_type* s, std::size_t n, char_type a) noexcept {
    return n == 0 ? s : static_cast<char_type*>(std::memset(s, a, n));
  }
  static constexpr char_type to_char_type(int_type c) noexcept { return static_cast<char_type>(c); }
  static constexpr int_type to_int_type(char_type c) noexcept { return c; }
  static constexpr bool eq_int_type(int_type a, int_type b) noexcept { return a == b; }
  static constexpr int_type eof() noexcept { return -1; }
  static constexpr int_type not_eof(int_type c) noexcept { return c == eof() ? 0 : c; }
};

// Byte-set storage keeps one zero byte after the bytes, as strings do; a
// failed request names the bytes of the set itself.
struct ByteAllocator : Allocator<unsigned char> {
  using value_type = unsigned char;
  template <class U>
  struct rebind {
    using other = std::conditional_t<std::is_same_v<U, unsigned char>, ByteAllocator, Allocator<U>>;
  };
  unsigned char* allocate(std::size_t n) {
    return static_cast<unsigned char*>(text_internal::Allocate(n, n == 0 ? 0 : n - 1));
  }
};

}  // namespace text_internal

// A counted sequence of bytes of any value, zero bytes included.
using ByteSet = std::basic_string<unsigned char, text_internal::ByteTraits, text_internal::ByteAllocator>;

// An ordered list of texts, indexed from 1 by its operations.
using TextArray = std::vector<Text, Allocator<Text>>;

// A view of a text: what the primitives read.
using TextView = std::string_view;
