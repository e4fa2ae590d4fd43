// kivcheck.exe, the checker as shipped for Windows: its exit status, its diagnostics on
// standard output (with the run's message texts from its string table) and Windows paths
// printed as they were given.
#include <gtest/gtest.h>

#include <algorithm>

#include "e2e_support.h"

namespace {

DWORD RunKivcheck(const std::vector<std::string>& arguments, std::string* output) {
  return RunProgramCapturing(BinFolder() + "kivcheck.exe", arguments, output);
}

}  // namespace

TEST(CheckProgram, ExitStatusAndDiagnosticsInTextAndJson) {
  // The clean script's list copies the script itself: the package folder is its folder.
  const std::string clean = WriteScript("check-clean.kiv",
                                        "[DefaultInstall]\r\nCALL Sub\r\nCOPYFILES List\r\n[Sub]\r\nSET A=1\r\n"
                                        "[List]\r\nFILECIO check-clean.kiv\r\n");
  const std::string faulty = WriteScript("check-faulty.kiv", "[DefaultInstall]\r\nSET A=1\r\nSETT B=2\r\n");
  std::string slashed = faulty;
  std::replace(slashed.begin(), slashed.end(), '\\', '/');
  const std::string unknownSett =
      ":3: error: unknown command 'SETT' (the run fails with 2: Unrecognized command in script file.); "
      "did you mean SET? [unknown-command]\r\n";
  std::string out;

  EXPECT_EQ(RunKivcheck({clean}, &out), 0u);
  EXPECT_EQ(out, "0 errors, 0 warnings, 0 notes in 1 file\r\n");

  EXPECT_EQ(RunKivcheck({faulty}, &out), 1u);
  EXPECT_EQ(out, faulty + unknownSett + faulty +
                     ": the run stops at line 3 (2: Unrecognized command in script file.)\r\n"
                     "1 error, 0 warnings, 0 notes in 1 file\r\n");
  EXPECT_EQ(RunKivcheck({slashed}, &out), 1u);
  EXPECT_TRUE(Contains(out, slashed + unknownSett)) << out;

  EXPECT_EQ(RunKivcheck({"--format=json", faulty}, &out), 1u);
  ASSERT_FALSE(out.empty());
  EXPECT_EQ(out.front(), '[') << out;  // the JSON alone: no summary line
  EXPECT_TRUE(out.size() >= 3 && out.compare(out.size() - 3, 3, "]\r\n") == 0) << out;
  EXPECT_TRUE(Contains(out, "{\"file\": \"C:\\\\kivtest\\\\check-faulty.kiv\", \"line\": 3, \"severity\": \"error\", "
                            "\"check\": \"unknown-command\", \"message\": \"unknown command 'SETT' (the run fails with 2: "
                            "Unrecognized command in script file.); did you mean SET?\"}"))
      << out;

  EXPECT_EQ(RunKivcheck({WorkFolder() + "check-missing.kiv"}, &out), 2u);
}
