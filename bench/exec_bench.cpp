// Executor benchmark: runs scripts with logging on (to a real file) and prints lines per
// second and the ratio of per-line costs between a small and a large script of one shape,
// which stays near 1 when the cost of a line does not grow with the script:
// - start sections of 10,000 and 100,000 SET lines over a few variables;
// - 1,000 and 10,000 distinct variables, each set from an earlier one;
// - 100 and 10,000 sections, each called once from the start section.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "engine/executor.h"
#include "log/log.h"

namespace {

using ScriptWriter = std::function<void(std::ofstream& out, int size)>;

constexpr int kRounds = 3;

void LongSection(std::ofstream& out, int lines) {
  out << "[Main]\r\nSET Root=C:\\Program Files\\Vorna\r\n";
  for (int i = 1; i < lines; ++i) out << "SET V" << (i % 64) << "=%%Root%%\\engine\\" << i << ".dat\r\n";
}

// Every line creates a variable and looks up one set earlier.
void DistinctVariables(std::ofstream& out, int variables) {
  out << "[Main]\r\nSET V0=C:\\Program Files\\Vorna\r\n";
  for (int i = 1; i < variables; ++i) out << "SET V" << i << "=%%V" << i / 2 << "%%\r\n";
}

// The start section calls every section; each sets one variable.
void CalledSections(std::ofstream& out, int sections) {
  out << "[Main]\r\n";
  for (int i = 0; i < sections; ++i) out << "CALL S" << i << "\r\n";
  for (int i = 0; i < sections; ++i) out << "[S" << i << "]\r\nSET Done=" << i << "\r\n";
}

// Runs a script of `size` (loaded and run, best of three) and gives the seconds per executed line.
double SecondsPerLine(const ScriptWriter& write, int size, int lines, const char* what, const std::string& folder) {
  std::string script = folder + "kivrun-exec-bench.kiv";
  {
    std::ofstream out(script, std::ios::binary | std::ios::trunc);
    write(out, size);
  }
  std::string log = folder + "kivrun-exec-bench.log";
  int result = 0;
  double seconds = 1e9;
  for (int round = 0; round < kRounds; ++round) {
    std::remove(log.c_str());
    SetLogFile(kLogLevelStatus, log.c_str());
    auto start = std::chrono::steady_clock::now();
    result = ExecuteScript(script.c_str(), "Main", folder.c_str());
    double taken = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (taken < seconds) seconds = taken;
    SetLogFile(kLogLevelStatus, "");
  }
  std::remove(script.c_str());
  std::remove(log.c_str());
  std::printf("%7d %-20s %7d lines: %8.1f ms  %9.0f lines/s  (result %d)\n", size, what, lines, seconds * 1e3,
              lines / seconds, result);
  return seconds / lines;
}

void Compare(const ScriptWriter& write, int small, int large, int linesPerUnit, const char* what,
             const std::string& folder) {
  double smallCost = SecondsPerLine(write, small, small * linesPerUnit, what, folder);
  double largeCost = SecondsPerLine(write, large, large * linesPerUnit, what, folder);
  std::printf("per-line cost, %d against %d %s: ratio %.2f (goal: at most 1.3)\n", large, small, what,
              largeCost / smallCost);
}

}  // namespace

int main() {
  std::string folder = std::filesystem::temp_directory_path().string();
  if (!folder.empty() && folder.back() != '/' && folder.back() != '\\') folder += '/';
  std::printf("Executor benchmark (logging on, to a file)\n");
  Compare(LongSection, 10000, 100000, 1, "SET lines", folder);
  Compare(DistinctVariables, 1000, 10000, 1, "variables", folder);
  Compare(CalledSections, 100, 10000, 2, "sections", folder);
  return 0;
}
