// Code page 936 by table: the characters that the converter maps one to one,
// read out of the converter once per process, so that text made only of
// them converts without the converter and comes out exactly as the
// converter would give it.
//
//   char16_t wide[4];
//   long long n = GbkToUtf16ByTable("a\xD6\xD0", 3, wide);   // 2: u"a\u4E2D"
//   GbkToUtf16ByTable("a\xD6", 2, nullptr);                  // -1: cut off
//
// Each function returns the number of units (bytes) of the result, writing
// them when given a destination, which must have room for one unit per
// source byte (two bytes per source unit). It returns -1, having written
// some part of the result or nothing, when the source holds anything the
// table does not cover: a byte sequence the converter would substitute, a
// character the code page lacks, a surrogate. The caller then converts with
// the converter. Thread-safe.
//
// Used only by codepage.cpp.
#pragma once

#include <cstddef>

long long GbkToUtf16ByTable(const char* source, std::size_t length, char16_t* destination);
long long Utf16ToGbkByTable(const char16_t* source, std::size_t length, char* destination);
