// The exit codes kivcheck names, proved by running: Kivrun.exe runs each script of
// tests/check/runs/ as a host that names no section would (so from [DefaultInstall]) and
// must exit with the code the script's first line claims ("; run gives N");
// tests/check/run_claims_test.cpp holds kivcheck's first error to the same code.
// To add a case to both tests, add a script to tests/check/runs/.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "../check/run_claims.h"
#include "e2e_support.h"

namespace {

// The source tree as Wine shows it: the Linux root is drive Z:.
std::string RunsFolder() {
  std::string folder = "Z:" KIVRUN_SOURCE_DIR "/tests/check/runs";
  std::replace(folder.begin(), folder.end(), '/', '\\');
  return folder;
}

}  // namespace

TEST(CheckClaims, EachScriptExitsWithTheCodeItsFirstLineClaims) {
  size_t scripts = 0;
  for (const auto& entry : std::filesystem::directory_iterator(RunsFolder())) {
    if (entry.path().extension() != ".kiv") continue;
    ++scripts;
    const std::string script = entry.path().string();
    const int claimed = ClaimedExitCode(ReadText(script), entry.path().stem().string());
    ASSERT_GE(claimed, 0) << script << ": its first line is not \"; run gives N\"";
    const std::string log = FreshLog("claims-" + entry.path().stem().string());
    EXPECT_EQ(RunKivrun({"/Script=" + script, "/Log=" + log}), static_cast<DWORD>(claimed))
        << script << "\n" << ReadText(log);
  }
  EXPECT_GE(scripts, 7u);
}
