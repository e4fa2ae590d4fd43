// Executor benchmark: runs start sections of 10,000 and 100,000 SET lines with logging on
// (to a real file) and prints lines per second and the ratio of the per-line costs, which
// stays near 1 when the cost of a line does not grow with the section's length.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "engine/executor.h"
#include "log/log.h"

namespace {

double SecondsPerLine(int lines, const std::string& folder) {
  std::string script = folder + "kivrun-exec-bench.kiv";
  {
    std::ofstream out(script, std::ios::binary | std::ios::trunc);
    out << "[Main]\r\nSET Root=C:\\Program Files\\Vorna\r\n";
    for (int i = 1; i < lines; ++i) out << "SET V" << (i % 64) << "=%%Root%%\\engine\\" << i << ".dat\r\n";
  }
  std::string log = folder + "kivrun-exec-bench.log";
  std::remove(log.c_str());
  SetLogFile(kLogLevelStatus, log.c_str());

  auto start = std::chrono::steady_clock::now();
  int result = ExecuteScript(script.c_str(), "Main", folder.c_str());
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

  SetLogFile(kLogLevelStatus, "");
  std::remove(script.c_str());
  std::remove(log.c_str());
  std::printf("%7d SET lines: %8.1f ms  %9.0f lines/s  (result %d)\n", lines, seconds * 1e3,
              lines / seconds, result);
  return seconds / lines;
}

}  // namespace

int main() {
  std::string folder = std::filesystem::temp_directory_path().string();
  if (!folder.empty() && folder.back() != '/' && folder.back() != '\\') folder += '/';
  std::printf("Executor benchmark (logging on, to a file)\n");
  double small = SecondsPerLine(10000, folder);
  double large = SecondsPerLine(100000, folder);
  std::printf("per-line cost, 100,000 against 10,000 lines: ratio %.2f (goal: at most 1.3)\n", large / small);
  return 0;
}
