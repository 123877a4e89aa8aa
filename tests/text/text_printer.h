// Failure messages for Text values: shown as escaped bytes, the way
// GoogleTest shows a std::string, instead of one character per element.
//
//   EXPECT_EQ(TrimBothEnds(" x"), "x");   // on failure: "\xB0" ... not {'\xB0', ...}
#pragma once

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "text/text.h"

// Found by argument-dependent lookup through Text's allocator.
inline void PrintTo(const Text& text, std::ostream* os) {
  *os << ::testing::PrintToString(std::string(text.data(), text.size()));
}
