// Byte sets: conversion from and to texts, cutting, the plain byte search,
// joining and reading single bytes.
#include "text/byte_set.h"

#include <gtest/gtest.h>

#include <climits>
#include <initializer_list>

#include "text_printer.h"

namespace {

ByteSet Bytes(std::initializer_list<unsigned char> bytes) { return ByteSet(bytes); }

TEST(ByteSetTest, ConvertsFromAndToText) {
  EXPECT_EQ(ToByteSet(""), ByteSet());
  EXPECT_EQ(ToByteSet("ab"), Bytes({0x61, 0x62}));
  EXPECT_EQ(ToByteSet("中"), Bytes({0xD6, 0xD0}));

  EXPECT_EQ(ByteSetToText(Bytes({0x61, 0x00, 0x62})), "a");
  EXPECT_EQ(ByteSetToText(Bytes({0x61, 0x62})), "ab");
  EXPECT_EQ(ByteSetToText(Bytes({0x00, 0x62})), "");
  EXPECT_EQ(ByteSetToText(ByteSet()), "");
  EXPECT_EQ(ByteSetToText(ToByteSet("中文\xB0")), "中文\xB0");
}

TEST(ByteSetTest, LengthAndLeft) {
  const ByteSet b = Bytes({1, 0, 2});
  EXPECT_EQ(ByteSetLength(ByteSet()), 0);
  EXPECT_EQ(ByteSetLength(b), 3);

  struct Case {
    int n;
    ByteSet expected;
  };
  const Case cases[] = {
      {-1, {}}, {0, {}}, {1, Bytes({1})}, {2, Bytes({1, 0})}, {3, b}, {4, b}, {INT_MAX, b},
  };
  for (const Case& c : cases) EXPECT_EQ(ByteSetLeft(b, c.n), c.expected) << c.n;
  EXPECT_EQ(ByteSetLeft(ByteSet(), 2), ByteSet());
}

TEST(ByteSetTest, FindStepsOneByteAtATime) {
  struct Case {
    ByteSet bytes, pattern;
    int expected;
  };
  const Case cases[] = {
      {Bytes({1, 2, 3}), {}, -1},
      {{}, {}, -1},
      {{}, Bytes({1}), -1},
      {Bytes({1, 2}), Bytes({1, 2, 3}), -1},
      {Bytes({1, 2, 3}), Bytes({1, 2, 3}), 1},
      {Bytes({1, 2, 3}), Bytes({3}), 3},
      {Bytes({1, 0, 2}), Bytes({0, 2}), 2},
      {Bytes({1, 1, 1, 2}), Bytes({1, 2}), 3},
      {Bytes({0, 0, 0}), Bytes({0, 0}), 1},
      // No character walk: the second byte of a character is found too.
      {Bytes({0xB0, 0x41}), Bytes({0x41}), 2},
      {Bytes({'a', 0xB0}), Bytes({0xB0}), 2},
  };
  for (const Case& c : cases) EXPECT_EQ(FindByteSet(c.bytes, c.pattern), c.expected);
  EXPECT_EQ(FindByteSet(ToByteSet("abc"), ToByteSet("c")), 3);
}

TEST(ByteSetTest, BlankIsZeroBytes) {
  EXPECT_EQ(BlankByteSet(3), Bytes({0, 0, 0}));
  EXPECT_EQ(BlankByteSet(0), ByteSet());
  EXPECT_EQ(BlankByteSet(-4), ByteSet());
}

TEST(ByteSetTest, ConcatJoinsInOrder) {
  EXPECT_EQ(ConcatByteSets(Bytes({1}), ByteSet(), Bytes({0, 2}), Bytes({3})), Bytes({1, 0, 2, 3}));
  EXPECT_EQ(ConcatByteSets(ByteSet(), ByteSet(), ByteSet()), ByteSet());
  EXPECT_EQ(ConcatByteSets(ByteSet(), Bytes({7})), Bytes({7}));

  // Appending in place keeps everything so far.
  ByteSet body;
  const ByteSet piece = Bytes({0xE4, 0x00, 0xB8});
  for (int i = 0; i < 1000; ++i) body = ConcatByteSets(std::move(body), piece);
  ASSERT_EQ(ByteSetLength(body), 3000);
  EXPECT_EQ(FindByteSet(body, Bytes({0xB8, 0xE4})), 3);
  EXPECT_EQ(ByteSetAt(body, 2998), 0xE4);
  EXPECT_EQ(ByteSetAt(body, 3000), 0xB8);
}

TEST(ByteSetTest, AtGivesUnsignedByte) {
  const ByteSet b = Bytes({0xE4, 0xB8, 0x00});
  EXPECT_EQ(ByteSetAt(b, 1), 228);
  EXPECT_EQ(ByteSetAt(b, 2), 0xB8);
  EXPECT_EQ(ByteSetAt(b, 3), 0);
}

}  // namespace
