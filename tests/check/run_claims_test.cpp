// What kivcheck says a run gives, held to what the run gives: each script of runs/ begins
// with "; run gives N", the exit code Kivrun.exe gives for it (proved under Wine by
// tests/e2e/check_claims_test.cpp), and kivcheck's forecast of where the run stops must name
// that code.
// To add a case to both tests, add a script to tests/check/runs/ whose first line is
// "; run gives N" (and whose run writes nothing outside C:\kivtest).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "check/checks.h"
#include "run_claims.h"

namespace fs = std::filesystem;

TEST(KivcheckRunClaims, TheFirstErrorNamesTheCodeTheRunGives) {
  size_t scripts = 0;
  for (const auto& entry : fs::directory_iterator(KIVCHECK_RUNS_DIR)) {
    if (entry.path().extension() != ".kiv") continue;
    ++scripts;
    const std::string path = entry.path().string();
    SCOPED_TRACE(path);
    std::ifstream file(path, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    const int claimed = ClaimedExitCode(bytes, entry.path().stem().string());
    std::vector<Diagnostic> diagnostics;
    RunForecast forecast;
    if (claimed < 0 || !CheckScript(path, CheckOptions(), &diagnostics, &forecast)) {
      ADD_FAILURE() << "unreadable, or its first line is not \"; run gives N\"";
      continue;
    }
    EXPECT_TRUE(forecast.stops) << "no stop forecast, but the run gives " << claimed;
    EXPECT_EQ(forecast.code, claimed) << ForecastText(forecast);
  }
  EXPECT_GE(scripts, 7u);
}
