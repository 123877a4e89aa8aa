// Text-array operations with their index checks.
#include "text/text_array.h"

#include "text/runtime_error.h"

int TextArrayCount(const TextArray& array) { return static_cast<int>(array.size()); }

const Text& TextArrayAt(const TextArray& array, int index) {
  if (index < 1) ReportRuntimeError(kErrorIndexBelowOne, "数组成员引用下标必须大于等于1");
  if (static_cast<std::size_t>(index) > array.size()) {
    ReportRuntimeError(kErrorIndexTooLarge, "数组成员引用下标超出定义范围");
  }
  return array[static_cast<std::size_t>(index - 1)];
}

void TextArrayAppend(TextArray& array, TextView text) { array.emplace_back(text); }
