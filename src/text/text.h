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
#include <string>
#include <string_view>
#include <vector>

namespace text_internal {

// Called when an allocation of `bytes` cannot be satisfied; does not return.
[[noreturn]] void AllocationFailed(std::size_t bytes);
// Raw storage for the allocator below.
void* Allocate(std::size_t bytes);
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
    return static_cast<T*>(text_internal::Allocate(n * sizeof(T)));
  }
  void deallocate(T* p, std::size_t) noexcept { text_internal::Deallocate(p); }
  template <class U>
  bool operator==(const Allocator<U>&) const noexcept { return true; }
};

// Bytes in code page 936 without zero bytes.
using Text = std::basic_string<char, std::char_traits<char>, Allocator<char>>;

// A counted sequence of bytes of any value.
using ByteSet = std::vector<unsigned char, Allocator<unsigned char>>;

// An ordered list of texts, indexed from 1 by its operations.
using TextArray = std::vector<Text, Allocator<Text>>;

// A view of a text: what the primitives read.
using TextView = std::string_view;
