// Starts the real program, waits for its main dialog and leaves it the way
// the dialog's cancel command does: the process must end cleanly.

#include <gtest/gtest.h>

#include <string>

#include "tests/wine/ui_automation.h"

namespace velnara::wine_test {
namespace {

std::string gProgramPath;  // Velnara.exe, from the command line

constexpr char kMainCaption[] = "Ostrand : Tarvex 880 - Velnara V2.03";

TEST(SmokeTest, MainDialogOpensAndTheCancelCommandEndsTheProgramWithStatusZero) {
  ASSERT_FALSE(gProgramPath.empty()) << "usage: velnara_smoke_test PATH\\TO\\Velnara.exe";
  RunningProgram program;
  DWORD error = 0;
  ASSERT_TRUE(program.Start(gProgramPath, std::string(), &error))
      << "cannot start " << gProgramPath << ": error " << error;

  const HWND dialog = program.WaitForWindow(kMainCaption, 20000);
  ASSERT_NE(dialog, nullptr) << "no visible window captioned \"" << kMainCaption << "\"; program "
                             << (program.IsRunning() ? "still running" : "has ended");
  EXPECT_EQ(ReadClassName(dialog), "#32770");

  ASSERT_TRUE(PostCommand(dialog, IDCANCEL));
  DWORD status = 0xDEAD;
  ASSERT_TRUE(program.WaitForExit(10000, &status)) << "the program did not end";
  EXPECT_EQ(status, 0u);
}

}  // namespace
}  // namespace velnara::wine_test

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  if (argc > 1) velnara::wine_test::gProgramPath = argv[1];
  return RUN_ALL_TESTS();
}
