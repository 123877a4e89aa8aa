// Text arrays: count, 1-based access and appending. The bad indexes, which
// end the program, are tested with the runtime error.
#include "text/text_array.h"

#include <gtest/gtest.h>

#include <string>

#include "text/text_ops.h"
#include "text_printer.h"

namespace {

TEST(TextArrayTest, NewArrayIsEmpty) {
  TextArray a;
  EXPECT_EQ(TextArrayCount(a), 0);
}

TEST(TextArrayTest, AppendAddsOneElementAtTheEnd) {
  TextArray a;
  TextArrayAppend(a, "x");
  ASSERT_EQ(TextArrayCount(a), 1);
  EXPECT_EQ(TextArrayAt(a, 1), "x");

  TextArrayAppend(a, "");
  ASSERT_EQ(TextArrayCount(a), 2);
  EXPECT_EQ(TextArrayAt(a, 2), "");

  TextArrayAppend(a, "中文");
  ASSERT_EQ(TextArrayCount(a), 3);
  EXPECT_EQ(TextArrayAt(a, 1), "x");
  EXPECT_EQ(TextArrayAt(a, 2), "");
  EXPECT_EQ(TextArrayAt(a, 3), "中文");
}

// The appended text may be an element of the same array, which moves when
// the array grows.
TEST(TextArrayTest, AppendOwnElement) {
  TextArray a;
  TextArrayAppend(a, "s");
  TextArrayAppend(a, BlankText(100));
  for (int i = 0; i < 50; ++i) {
    TextArrayAppend(a, TextArrayAt(a, 1));
    TextArrayAppend(a, TextArrayAt(a, 2));
  }
  ASSERT_EQ(TextArrayCount(a), 102);
  for (int i = 1; i <= TextArrayCount(a); i += 2) {
    EXPECT_EQ(TextArrayAt(a, i), "s") << i;
    EXPECT_EQ(TextArrayAt(a, i + 1), BlankText(100)) << i + 1;
  }
}

TEST(TextArrayTest, ElementsAreCopies) {
  TextArray a;
  {
    Text source = "long enough not to fit in the text itself: 0123456789";
    TextArrayAppend(a, source);
    source[0] = 'X';
  }
  EXPECT_EQ(TextArrayAt(a, 1), "long enough not to fit in the text itself: 0123456789");
}

TEST(TextArrayTest, SplitResultIsIndexedFromOne) {
  TextArray a = SplitText("a,,b", ",");
  ASSERT_EQ(TextArrayCount(a), 3);
  EXPECT_EQ(TextArrayAt(a, 1), "a");
  EXPECT_EQ(TextArrayAt(a, 2), "");
  EXPECT_EQ(TextArrayAt(a, 3), "b");

  // Assigning a whole new array replaces the old one.
  a = SplitText("z", ",");
  ASSERT_EQ(TextArrayCount(a), 1);
  EXPECT_EQ(TextArrayAt(a, 1), "z");
}

}  // namespace
