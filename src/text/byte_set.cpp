// Byte-set primitives.
#include "text/byte_set.h"

#include <algorithm>
#include <cstring>

#include "text/runtime_error.h"

ByteSet ToByteSet(TextView text) { return ByteSet(text.begin(), text.end()); }

Text ByteSetToText(const ByteSet& bytes) {
  auto end = std::find(bytes.begin(), bytes.end(), 0);
  return Text(bytes.begin(), end);
}

int ByteSetLength(const ByteSet& bytes) { return static_cast<int>(bytes.size()); }

ByteSet ByteSetLeft(const ByteSet& bytes, int n) {
  std::size_t count = n <= 0 ? 0 : std::min(static_cast<std::size_t>(n), bytes.size());
  return ByteSet(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(count));
}

int FindByteSet(const ByteSet& bytes, const ByteSet& pattern) {
  if (pattern.empty() || pattern.size() > bytes.size()) return -1;
  const void* hit = ::memmem(bytes.data(), bytes.size(), pattern.data(), pattern.size());
  if (hit == nullptr) return -1;
  return static_cast<int>(static_cast<const unsigned char*>(hit) - bytes.data()) + 1;
}

ByteSet BlankByteSet(int n) {
  if (n <= 0) return {};
  return ByteSet(static_cast<std::size_t>(n), 0);
}

int ByteSetAt(const ByteSet& bytes, int position) {
  if (position < 1) ReportRuntimeError(kErrorIndexBelowOne, "数组成员引用下标必须大于等于1");
  if (static_cast<std::size_t>(position) > bytes.size()) {
    ReportRuntimeError(kErrorIndexTooLarge, "数组成员引用下标超出定义范围");
  }
  return bytes[static_cast<std::size_t>(position - 1)];
}
