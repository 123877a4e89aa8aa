// The runtime error box and the ending that follows it.
#include "text/runtime_error.h"

#include "platform/message_box.h"
#include "text/number.h"
#include "text/text_ops.h"

Text RuntimeErrorText(int code, TextView message) {
  Text box = "运行时出错!\r\n\r\n";
  if (code != 0) box = ConcatTexts(std::move(box), "错误代码：", NumberToText(code), "\r\n\r\n");
  if (!message.empty()) box = ConcatTexts(std::move(box), "错误信息：", message, "\r\n");
  return box;
}

void ReportRuntimeError(int code, TextView message) {
  Text box = RuntimeErrorText(code, message);
  MessageBoxA(nullptr, box.c_str(), "错误", MB_OK | MB_ICONERROR);
  // -1, like the platform's exit code; _exit skips the registered exit routine.
  ExitProcess(static_cast<UINT>(-1));
}
