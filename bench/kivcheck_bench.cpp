// Checker benchmark: writes a realistic clean script of 100,000 lines (several hundred
// sections that call one another, SET, registry and INI lines full of variables, FILECIO and
// FILECOW lists over a package folder that holds the files), runs every check on it a few
// times and prints lines per second (goal: at least 1,000,000 in a Release build). The start
// section calls groups of components, each component its file list and its own helpers; the
// same script is then measured with each component calling the next instead, a call chain
// as deep as there are components, and a third time with a fault on one line in ten (a
// misspelt variable and section, each answered with a "did you mean"). Not a test: it prints
// figures and always exits 0.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "check/checks.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

constexpr int kLines = 100000;
constexpr int kComponents = 250;        // a code section and a file list each
constexpr int kGroupSize = 10;          // components called by one group section
constexpr int kListEntries = 100;       // lines of each file list
constexpr int kPackageFiles = 64;       // distinct files the lists copy
constexpr int kRounds = 5;

std::string PackageFile(int n) { return "part" + std::to_string(n % kPackageFiles) + ".dll"; }

// The lines of one component's code section, until it holds `count` lines. The first and
// last lines tie the sections together: its file list, and in a chain a call to the next
// component.
void AddComponent(int c, int count, bool chained, bool misspelt, std::string* text) {
  const std::string part = std::to_string(c);
  const std::string next = "Component" + std::to_string(c + 1);
  std::vector<std::string> lines = {
      "COPYFILES Files" + part,
      "SET Dir" + part + "=%%InstallDir%%\\Part" + part,
  };
  const std::string body[] = {
      "GETREGVALUE Version" + part + "=HKLM\\SOFTWARE\\Vorna\\Scan\\Part" + part + ",Version",
      "SETREGVALUE HKLM\\SOFTWARE\\Vorna\\Scan\\Part" + part + ",Version=%%NewVersion%%",
      "SETINIFILEVALUE %%Dir" + part + "%%\\scan.ini,Part" + part + ",Version=%%NewVersion%%",
      "; component " + part + ": the engine part and its settings",
      "FINDREGVALUE Known=HKLM\\SOFTWARE\\Vorna\\Scan\\Part" + part + ",InstallDir",
      "GETINIFILEVALUE Level=%%Dir" + part + "%%\\scan.ini,Part" + part + ",Level",
      "SET Step=part " + part + " at %%Level%%",
      "PROGRESS 1," + std::to_string(c * 100 / kComponents) + ",0,Installing part " + part,
      misspelt ? "CALLIF %%Knwon%%!=TRUE,Regsiter" + part : "CALLIF %%Known%%!=TRUE,Register" + part,
      "SETREGVALUE HKLM\\SOFTWARE\\Vorna\\Scan\\Part" + part + ",Level=/REG_DWORD:%%Level%%",
  };
  const size_t bodyLines = sizeof(body) / sizeof(body[0]);
  for (size_t i = 0; lines.size() + 1 < static_cast<size_t>(count); ++i) lines.push_back(body[i % bodyLines]);
  lines.push_back(chained && c + 1 < kComponents ? "CALL " + next : "RETURN TRUE");
  *text += "[Component" + part + "]\r\n";
  for (const std::string& line : lines) *text += line + "\r\n";
  *text += "[Register" + part + "]\r\nCREATEREGKEY HKLM\\SOFTWARE,Vorna\\Scan\\Part" + part + "\r\n";
}

void AddFileList(int c, std::string* text) {
  *text += "[Files" + std::to_string(c) + "]\r\n";
  for (int e = 0; e < kListEntries; ++e) {
    std::string source = PackageFile(c * kListEntries + e);
    if (e % 3 == 0) *text += "FILECOW " + source + ",copy" + std::to_string(e) + "_" + source + "\r\n";
    else *text += "FILECIO " + source + "\r\n";
  }
}

// The start section and the groups of components it calls (or, in a chain, the first
// component alone).
std::string StartSections(bool chained) {
  std::string text = "[DefaultInstall]\r\nSET NewVersion=5.4.1.0\r\nGETSPECIALDIR InstallDir=PROGRAM_FILES\r\n";
  if (chained) return text + "CALL Component0\r\n";
  for (int g = 0; g < kComponents / kGroupSize; ++g) text += "CALL Group" + std::to_string(g) + "\r\n";
  for (int g = 0; g < kComponents / kGroupSize; ++g) {
    text += "[Group" + std::to_string(g) + "]\r\n";
    for (int c = g * kGroupSize; c < (g + 1) * kGroupSize; ++c) text += "CALL Component" + std::to_string(c) + "\r\n";
  }
  return text;
}

// kLines lines in all: the start sections, then each component's code section, the section
// it calls when its key is missing, and its file list.
std::string MakeScript(bool chained, bool misspelt) {
  std::string text = StartSections(chained);
  int fixed = 0;
  for (char c : text) fixed += c == '\n';
  fixed += kComponents * (1 + 2 + 1 + kListEntries);  // headers, register sections, lists
  const int codeLines = (kLines - fixed) / kComponents;
  const int spare = (kLines - fixed) % kComponents;
  for (int c = 0; c < kComponents; ++c) {
    AddComponent(c, codeLines + (c < spare ? 1 : 0), chained, misspelt, &text);
    AddFileList(c, &text);
  }
  return text;
}

void Measure(const fs::path& folder, bool chained, bool misspelt, const char* shape) {
  const std::string script = MakeScript(chained, misspelt);
  const std::string path = (folder / "bench.kiv").string();
  std::ofstream(path, std::ios::binary | std::ios::trunc) << script;
  size_t lines = 0, sections = 0;
  for (size_t i = 0; i < script.size(); ++i) {
    lines += script[i] == '\n';
    sections += script[i] == '[' && (i == 0 || script[i - 1] == '\n');
  }

  CheckOptions options;
  options.packageDir = folder.string();
  double best = 1e9;
  size_t found = 0;
  for (int round = 0; round < kRounds; ++round) {
    std::vector<Diagnostic> diagnostics;
    auto start = Clock::now();
    CheckScript(path, options, &diagnostics);
    best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
    found = diagnostics.size();
  }
  std::printf("%7zu lines, %zu sections, %-17s check %8.2f ms (%10.0f lines/s), %zu diagnostics\n", lines, sections,
              shape, best * 1e3, lines / best, found);
}

}  // namespace

int main() {
  const fs::path folder = fs::temp_directory_path() / "kivcheck-bench";
  fs::create_directories(folder);
  for (int n = 0; n < kPackageFiles; ++n) std::ofstream(folder / PackageFile(n)) << "x";
  std::printf("Checker benchmark (best of %d rounds; goal: at least 1000000 lines/s)\n", kRounds);
  Measure(folder, false, false, "calls 4 deep:");
  Measure(folder, true, false, "calls 250 deep:");
  Measure(folder, false, true, "1 line in 10 bad:");
  fs::remove_all(folder);
  return 0;
}
