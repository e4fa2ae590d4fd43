// kivcheck and the run cannot disagree on a line's code: every case of command_cases.h runs
// here through the real handlers, against fixtures in C:\kivdiff and HKCU\Software\KivrunDiff
// made anew for each, and kivcheck's prediction for the same script must name the same code.
// Lines that would wait for a person or start something run only where kivcheck predicts a
// fault of their form.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../../check/command_cases.h"
#include "check/checks.h"
#include "commands/command_families.h"
#include "engine/executor.h"
#include "platform/final_status.h"
#include "test_support.h"

namespace {

const char kFolder[] = "C:\\kivdiff";
const char kKey[] = "Software\\KivrunDiff";
const char kMissingComma[] = "Software\\KivrunDiffSub";

void WriteFileText(const std::string& path, const std::string& text) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
}

void RemoveTree(const std::string& folder) {
  WIN32_FIND_DATAA entry;
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &entry);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = entry.cFileName;
      if (name == "." || name == "..") continue;
      const std::string path = folder + "\\" + name;
      SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(path);
      } else {
        DeleteFileA(path.c_str());
      }
    } while (FindNextFileA(search, &entry));
    FindClose(search);
  }
  RemoveDirectoryA(folder.c_str());
}

// The files, folders and keys the well-formed lines act on.
void MakeFixtures() {
  RemoveTree(kFolder);
  CreateDirectoryA(kFolder, nullptr);
  CreateDirectoryA((std::string(kFolder) + "\\gone").c_str(), nullptr);
  WriteFileText(std::string(kFolder) + "\\a.txt", "a");
  WriteFileText(std::string(kFolder) + "\\del.txt", "d");
  WriteFileText(std::string(kFolder) + "\\diff.ini", "[S]\r\nK=V\r\n[Gone]\r\nX=1\r\n");
  RegDeleteTreeA(HKEY_CURRENT_USER, kKey);
  HKEY key = nullptr;
  if (RegCreateKeyA(HKEY_CURRENT_USER, kKey, &key) == ERROR_SUCCESS) {
    RegSetValueExA(key, "V", 0, REG_SZ, reinterpret_cast<const BYTE*>("1"), 2);
    HKEY child = nullptr;
    if (RegCreateKeyA(key, "Sub", &child) == ERROR_SUCCESS) RegCloseKey(child);
    if (RegCreateKeyA(key, "Gone", &child) == ERROR_SUCCESS) RegCloseKey(child);
    RegCloseKey(key);
  }
  // A key named as the parent without its comma ("...\KivrunDiffSub"): the run looks for
  // the new key's name only under a parent that exists.
  if (RegCreateKeyA(HKEY_CURRENT_USER, kMissingComma, &key) == ERROR_SUCCESS) RegCloseKey(key);
}

std::string KeywordOf(const std::string& line) { return line.substr(0, line.find(' ')); }

}  // namespace

TEST(CommandCases, TheCheckerPredictsTheCodeEveryHandlerGives) {
  static bool added = false;
  if (!added) {
    AddCommandFamilies();
    CoInitialize(nullptr);  // the shell commands need COM, as start-up gives Kivrun.exe
    added = true;
  }
  LogRecorder log;
  std::vector<std::string> disagreements;
  size_t run = 0;
  for (const CommandCase& c : CommandCases()) {
    const std::string path = WriteTempFile("case.kiv", "[DefaultInstall]\r\n" + CommandCasePrelude() +
                                                           c.line + "\r\n" + CommandCaseSections());
    std::vector<Diagnostic> diagnostics;
    ASSERT_TRUE(CheckScript(path, CheckOptions(), &diagnostics));
    const int predicted = PredictedCode(diagnostics, kCommandCaseLine);
    if (WaitsOrShows(KeywordOf(c.line)) && predicted == 0) continue;
    MakeFixtures();
    ++run;
    const int code = ExecuteScript(path.c_str(), "DefaultInstall", kFolder);
    ResetFinalStatus();
    if (code != predicted && !(predicted == 0 && IsMachineOutcome(code))) {
      disagreements.push_back("'" + c.line + "': the run gives " + std::to_string(code) + ", kivcheck predicts " +
                              std::to_string(predicted));
    }
  }
  RemoveTree(kFolder);
  RegDeleteTreeA(HKEY_CURRENT_USER, kKey);
  RegDeleteTreeA(HKEY_CURRENT_USER, kMissingComma);
  EXPECT_GE(run, 600u);
  std::string all;
  for (const std::string& d : disagreements) all += d + "\n";
  EXPECT_TRUE(disagreements.empty()) << disagreements.size() << " disagreements:\n" << all;
}
