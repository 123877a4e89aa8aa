// The runtime error: the box text, and the ending of the process after a bad
// index, a bad byte position or a failed allocation.
//
// Without a window toolkit the box goes to standard error as
// "[<title>]\n<text>\n" in UTF-8, so the death tests match UTF-8 bytes. Their
// expected texts come from u8 literals, which the code page of narrow
// literals does not touch.
#include "text/runtime_error.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdlib>
#include <functional>
#include <cstring>
#include <string>
#include <string_view>
#include <thread>

#include "text/byte_set.h"
#include "text/text_array.h"
#include "text_printer.h"

namespace {

TEST(RuntimeErrorTextTest, ShowsCodeAndMessageWhenPresent) {
  struct Case {
    int code;
    TextView message;
    TextView expected;
  };
  const Case cases[] = {
      {1, "数组成员引用下标超出定义范围",
       "运行时出错!\r\n\r\n错误代码：1\r\n\r\n错误信息：数组成员引用下标超出定义范围\r\n"},
      {4, "数组成员引用下标必须大于等于1",
       "运行时出错!\r\n\r\n错误代码：4\r\n\r\n错误信息：数组成员引用下标必须大于等于1\r\n"},
      {0, "分配 1024 字节内存失败!", "运行时出错!\r\n\r\n错误信息：分配 1024 字节内存失败!\r\n"},
      {4, "", "运行时出错!\r\n\r\n错误代码：4\r\n\r\n"},
      {0, "", "运行时出错!\r\n\r\n"},
      {-3, "x", "运行时出错!\r\n\r\n错误代码：-3\r\n\r\n错误信息：x\r\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(RuntimeErrorText(c.code, c.message), c.expected) << c.code;
}

TEST(RuntimeErrorTextTest, IsCodePage936) {
  EXPECT_EQ(RuntimeErrorText(1, ""),
            "\xD4\xCB\xD0\xD0\xCA\xB1\xB3\xF6\xB4\xED!\r\n\r\n"
            "\xB4\xED\xCE\xF3\xB4\xFA\xC2\xEB\xA3\xBA"
            "1\r\n\r\n");
}

std::string Utf8(std::u8string_view s) { return std::string(s.begin(), s.end()); }

// The regular expression that matches `s` literally.
std::string Literally(std::string_view s) {
  static constexpr char kSpecial[] = ".[]()*+?{}|^$\\";
  std::string out;
  for (char c : s) {
    if (c != '\0' && std::strchr(kSpecial, c) != nullptr) out += '\\';
    out += c;
  }
  return out;
}

// What the standard-error box prints for a runtime error.
std::string BoxOutput(std::u8string_view text) {
  return Literally(Utf8(u8"[错误]\n") + Utf8(text) + "\n");
}

const std::string kIndexTooLarge =
    BoxOutput(u8"运行时出错!\r\n\r\n错误代码：1\r\n\r\n错误信息：数组成员引用下标超出定义范围\r\n");
const std::string kIndexBelowOne =
    BoxOutput(u8"运行时出错!\r\n\r\n错误代码：4\r\n\r\n错误信息：数组成员引用下标必须大于等于1\r\n");

TextArray TwoElements() {
  TextArray a;
  TextArrayAppend(a, "a");
  TextArrayAppend(a, "b");
  return a;
}

TEST(RuntimeErrorDeathTest, ArrayIndexBelowOne) {
  const TextArray a = TwoElements();
  EXPECT_EXIT(TextArrayAt(a, 0), testing::ExitedWithCode(255), kIndexBelowOne);
  EXPECT_EXIT(TextArrayAt(a, -1), testing::ExitedWithCode(255), kIndexBelowOne);
  // The check for code 4 comes first.
  EXPECT_EXIT(TextArrayAt(TextArray(), 0), testing::ExitedWithCode(255), kIndexBelowOne);
}

TEST(RuntimeErrorDeathTest, ArrayIndexBeyondCount) {
  const TextArray a = TwoElements();
  EXPECT_EXIT(TextArrayAt(a, 3), testing::ExitedWithCode(255), kIndexTooLarge);
  EXPECT_EXIT(TextArrayAt(TextArray(), 1), testing::ExitedWithCode(255), kIndexTooLarge);
}

TEST(RuntimeErrorDeathTest, BytePositionOutOfRange) {
  const ByteSet b{0xE4, 0xB8};
  EXPECT_EXIT(ByteSetAt(b, 3), testing::ExitedWithCode(255), kIndexTooLarge);
  EXPECT_EXIT(ByteSetAt(b, 0), testing::ExitedWithCode(255), kIndexBelowOne);
  EXPECT_EXIT(ByteSetAt(ByteSet(), 1), testing::ExitedWithCode(255), kIndexTooLarge);
}

// The failed-allocation tests ask for more than any address space holds, so
// that the allocation really fails. The sanitizers' allocators must then
// answer with a null pointer, as the C library's does, instead of ending the
// test program themselves.
#if defined(__SANITIZE_ADDRESS__)
extern "C" const char* __asan_default_options() { return "allocator_may_return_null=1"; }
#endif
#if defined(__SANITIZE_THREAD__)
extern "C" const char* __tsan_default_options() { return "allocator_may_return_null=1"; }
#endif

// 2 EiB: below the containers' own size limits, far above any address space.
constexpr std::size_t kAbsurdBytes = std::size_t{1} << 61;

// The box has no code line, and the message names the bytes requested, for
// storage of any value type.
TEST(RuntimeErrorDeathTest, FailedAllocation) {
  struct Case {
    const char* type;
    std::function<void()> request;
    std::size_t reported;
  };
  const Case cases[] = {
      // A byte set's storage has one byte more than the set; the message
      // names the set's own bytes.
      {"byte set", [] { ByteSet().reserve(kAbsurdBytes); }, kAbsurdBytes},
      {"text", [] { Text().reserve(kAbsurdBytes); }, kAbsurdBytes + 1},
      {"text array", [] { TextArray().reserve(kAbsurdBytes / sizeof(Text)); }, kAbsurdBytes},
  };
  for (const Case& c : cases) {
    const std::string digits = std::to_string(c.reported);
    const std::u8string text = u8"运行时出错!\r\n\r\n错误信息：分配 " + std::u8string(digits.begin(), digits.end()) +
                               u8" 字节内存失败!\r\n";
    EXPECT_EXIT(c.request(), testing::ExitedWithCode(255), BoxOutput(text)) << c.type;
  }
}

// An exit routine that ran would change the status to 3.
TEST(RuntimeErrorDeathTest, ExitRoutinesDoNotRun) {
  EXPECT_EXIT(
      {
        std::atexit([] { std::_Exit(3); });
        ReportRuntimeError(4, "");
      },
      testing::ExitedWithCode(255), BoxOutput(u8"运行时出错!\r\n\r\n错误代码：4\r\n\r\n"));
}

// A worker thread ends the whole process.
TEST(RuntimeErrorDeathTest, RaisedOnWorkerThread) {
  EXPECT_EXIT(
      {
        std::thread worker([] { ByteSetAt(ByteSet(), 1); });
        worker.join();
        std::_Exit(0);
      },
      testing::ExitedWithCode(255), kIndexTooLarge);
}

}  // namespace
