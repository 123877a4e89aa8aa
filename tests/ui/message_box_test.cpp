// Message boxes drawn by the toolkit: who waits, what stays usable, and
// closing several boxes in any order.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/message_box.h"
#include "platform/toolkit.h"
#include "platform/toolkit_testing.h"
#include "platform/window.h"

namespace {

class MessageBoxTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!ToolkitInit()) GTEST_SKIP() << "no display: run the window tests under xvfb-run";
    FrameOptions options;
    options.title = "窗口";
    options.outerWidth = 300;
    options.outerHeight = 120;
    frame = CreateFrame(options);
    button = AddButton(frame, {10, 10, 80, 24}, "按钮", [this] { ++clicks; });
    ShowFrame(frame);
    ASSERT_TRUE(PumpUntil([&] { return FrameShown(frame); }));
  }
  void TearDown() override {
    if (frame == nullptr) return;
    for (const auto& box : OpenMessageBoxes()) CloseMessageBox(box.title);
    PumpUntil([&] { return workers == 0; });
    DestroyFrame(frame);
  }

  // Shows a box from a worker thread; `returned` turns true when the
  // worker's call comes back.
  void ShowFromWorker(const char* text, const char* title, std::atomic<bool>& returned) {
    ++workers;
    std::thread([this, text, title, &returned] {
      int answer = MessageBoxA(nullptr, text, title, MB_OK);
      returned = answer == IDOK;
      --workers;
    }).detach();
    ASSERT_TRUE(PumpUntil([&] { return HasBox(title); }));
  }

  static bool HasBox(std::string_view title) {
    for (const auto& box : OpenMessageBoxes()) {
      if (box.title == title) return true;
    }
    return false;
  }

  Frame* frame = nullptr;
  Control* button = nullptr;
  int clicks = 0;
  std::atomic<int> workers{0};
};

TEST_F(MessageBoxTest, WorkersBoxWaitsForItsThreadAloneAndLeavesTheWindowUsable) {
  std::atomic<bool> returned{false};
  ShowFromWorker("第一行\r\n第二行", "信息：", returned);

  std::vector<MessageBoxInfo> boxes = OpenMessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "第一行\n第二行");
  EXPECT_FALSE(boxes[0].modal);
  EXPECT_FALSE(FrameBlockedByModalBox(frame));
  ClickControl(button);
  EXPECT_TRUE(PumpUntil([&] { return clicks == 1; })) << "the window took no click while a worker's box was open";
  EXPECT_FALSE(returned);

  ASSERT_TRUE(CloseMessageBox("信息："));
  EXPECT_TRUE(PumpUntil([&] { return returned.load(); }));
  EXPECT_TRUE(OpenMessageBoxes().empty());
}

TEST_F(MessageBoxTest, WindowThreadsBoxIsModalUntilClosed) {
  bool blockedWhileOpen = false;
  std::vector<MessageBoxInfo> seen;
  RepeatUntilDone([&] {
    seen = OpenMessageBoxes();
    if (seen.empty()) return false;
    blockedWhileOpen = FrameBlockedByModalBox(frame);
    CloseMessageBox("靠");
    return true;
  });
  EXPECT_EQ(MessageBoxA(nullptr, "你不输入内容我怎么搜！逗我？", "靠", MB_OK), IDOK);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].text, "你不输入内容我怎么搜！逗我？");
  EXPECT_TRUE(seen[0].modal);
  EXPECT_TRUE(blockedWhileOpen);
  EXPECT_FALSE(FrameBlockedByModalBox(frame));
}

TEST_F(MessageBoxTest, SeveralBoxesCloseInAnyOrder) {
  std::atomic<bool> firstReturned{false};
  std::atomic<bool> secondReturned{false};
  ShowFromWorker("一", "worker 1", firstReturned);
  ShowFromWorker("二", "worker 2", secondReturned);

  // On the window thread: box A, and inside A's wait box B. Every box is
  // closed first-opened-first, the window thread's outer box A included.
  bool innerShown = false;
  bool innerReturned = false;
  bool outerGoneFirst = false;
  RepeatUntilDone([&] {
    if (!HasBox("A")) return false;
    innerShown = true;
    MessageBoxA(nullptr, "B", "B", MB_OK);  // waits in a loop of its own
    innerReturned = true;
    return true;
  });
  int step = 0;
  RepeatUntilDone([&] {
    if (!HasBox("B")) return false;
    switch (step++) {
      case 0:
        CloseMessageBox("worker 1");
        return false;
      case 1:
        if (!firstReturned) return false;  // the first worker is free already
        CloseMessageBox("worker 2");
        return false;
      case 2:
        if (!secondReturned) return false;
        CloseMessageBox("A");
        return false;
      default:
        outerGoneFirst = !HasBox("A") && HasBox("B");
        CloseMessageBox("B");
        return true;
    }
  });
  EXPECT_EQ(MessageBoxA(nullptr, "A", "A", MB_OK), IDOK);
  EXPECT_TRUE(innerShown);
  EXPECT_TRUE(innerReturned);
  EXPECT_TRUE(outerGoneFirst) << "closing the outer box must take it away at once";
  EXPECT_TRUE(firstReturned);
  EXPECT_TRUE(secondReturned);
  EXPECT_TRUE(OpenMessageBoxes().empty());
}

TEST_F(MessageBoxTest, ErrorBoxKeepsItsTitleAndText) {
  std::atomic<bool> returned{false};
  ++workers;
  std::thread([&] {
    MessageBoxA(nullptr, "运行时出错!\r\n\r\n错误代码：1\r\n\r\n", "错误", MB_OK | MB_ICONERROR);
    returned = true;
    --workers;
  }).detach();
  ASSERT_TRUE(PumpUntil([&] { return HasBox("错误"); }));
  EXPECT_EQ(OpenMessageBoxes()[0].text, "运行时出错!\n\n错误代码：1\n\n");
  CloseMessageBox("错误");
  EXPECT_TRUE(PumpUntil([&] { return returned.load(); }));
}

}  // namespace
