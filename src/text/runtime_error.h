// The fatal runtime error: one message box, then the process ends.
//
//   ReportRuntimeError(1, "数组成员引用下标超出定义范围");   // never returns
//
// The box (title "错误", error icon, OK) says "运行时出错!", the code when it
// is not 0 and the message when it is not empty. After it is closed the
// process ends with status 255; exit routines do not run.
#pragma once

#include "text/text.h"

inline constexpr int kErrorIndexTooLarge = 1;
inline constexpr int kErrorIndexBelowOne = 4;
inline constexpr int kErrorAllocation = 0;

[[noreturn]] void ReportRuntimeError(int code, TextView message);

// The box text for a code and message, as ReportRuntimeError shows it.
Text RuntimeErrorText(int code, TextView message);
