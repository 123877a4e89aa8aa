// The shell's open verb: which addresses reach the browser, and how.
#include <gtest/gtest.h>

#include "fake_opener.h"
#include "platform/shell.h"
#include "platform/toolkit_testing.h"

namespace {

struct ShellCase {
  const char* name;
  const char* address;
  bool opened;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const ShellCase& c, std::ostream* out) { *out << c.name; }

const ShellCase kShellCases[] = {
    {"http", "http://pan.quorvane.example/s/1", true},
    {"https", "https://pan.quorvane.example/s/2", true},
    {"upper_case", "HTTPS://PAN.quorvane.example/s/3", true},
    {"mixed_case", "HtTp://pan.quorvane.example/s/4", true},
    // Passed as one argument, never read by a shell.
    {"shell_characters", "http://pan.quorvane.example/?a=1;touch /tmp/quorvane-shell-probe&b=$(id)", true},
    {"empty", "", false},
    {"one_slash", "http:/pan.quorvane.example", false},
    {"file", "file:///etc/passwd", false},
    {"local_program", "/usr/bin/xterm", false},
    {"script", "javascript:alert(1)", false},
    {"leading_space", " http://pan.quorvane.example/s/5", false},
    {"ftp", "ftp://pan.quorvane.example/s/6", false},
};

class ShellTest : public ::testing::TestWithParam<ShellCase> {
 protected:
  static void SetUpTestSuite() { InstallFakeOpener(); }
  void SetUp() override { ForgetOpenedLinks(); }
};

TEST_P(ShellTest, OpensOnlyWebAddressesAsOneArgument) {
  const ShellCase& c = GetParam();
  long result = ShellExecuteA(nullptr, "open", c.address, nullptr, nullptr, SW_SHOWNORMAL);
  if (c.opened) {
    EXPECT_GT(result, 32);
    EXPECT_EQ(WaitForOpenedLinks(1), std::vector<std::string>{c.address});
  } else {
    EXPECT_LE(result, 32);
    // A refused address starts nothing; an accepted one afterwards is the
    // only call the opener sees.
    ShellExecuteA(nullptr, "open", "https://after.example/", nullptr, nullptr, SW_SHOWNORMAL);
    EXPECT_EQ(WaitForOpenedLinks(1), std::vector<std::string>{"https://after.example/"});
  }
}

INSTANTIATE_TEST_SUITE_P(Addresses, ShellTest, ::testing::ValuesIn(kShellCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
