// Text a command acts on is used whole or not at all: an undefined variable (28) or a text
// that does not fit (24) fails the line, and nothing is written, deleted, started or stored.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>

#include "command_test.h"
#include "engine/result_codes.h"
#include "win32/file_fixtures.h"

namespace {

const std::string kRoot = "C:\\kivtest\\acting";
const char kKeyBase[] = "Software\\KivrunActingTest";

std::string ReadRegistryText(const char* name) {
  char data[2000] = "";
  DWORD size = sizeof(data);
  if (RegGetValueA(HKEY_CURRENT_USER, kKeyBase, name, RRF_RT_REG_SZ, nullptr, data, &size) != ERROR_SUCCESS) {
    return "<none>";
  }
  return data;
}

std::string PathVariable() {
  char value[32768] = "";
  GetEnvironmentVariableA("PATH", value, sizeof(value));
  return value;
}

class ActingText : public CommandTest {
 protected:
  void SetUp() override {
    CreateDirectoryA("C:\\kivtest", nullptr);
    CreateDirectoryA(kRoot.c_str(), nullptr);
    WriteFileText(kRoot + "\\keep.txt", "keep");
    HKEY key = nullptr;
    RegCreateKeyA(HKEY_CURRENT_USER, kKeyBase, &key);
    RegSetValueExA(key, "InstallDir", 0, REG_SZ, reinterpret_cast<const BYTE*>("C:\\P"), 5);
    RegCloseKey(key);
  }
  void TearDown() override {
    DeleteFileA((kRoot + "\\keep.txt").c_str());
    RemoveDirectoryA(kRoot.c_str());
    RegDeleteTreeA(HKEY_CURRENT_USER, kKeyBase);
  }
};

}  // namespace

TEST_F(ActingText, AnUndefinedVariableFailsTheLineAndChangesNothing) {
  const std::string path = PathVariable();
  const std::string key = std::string("HKCU\\") + kKeyBase;
  struct Case {
    std::string line;
    std::function<bool()> unchanged;
  };
  const auto kept = [] { return PathExists(kRoot + "\\keep.txt"); };
  const Case kCases[] = {
      {"SETREGVALUE " + key + ",InstallDir=%%UNDEF%%\\bin", [] { return ReadRegistryText("InstallDir") == "C:\\P"; }},
      {"DELETEONEFILE " + kRoot + "\\%%UNDEF%%keep.txt", kept},
      {"COPYONEFILE " + kRoot + "\\keep.txt,%%UNDEF%%" + kRoot + "\\copy.txt",
       [] { return !PathExists(kRoot + "\\copy.txt"); }},
      {"REMOVEDIRRECURSIVE " + kRoot + "%%UNDEF%%", kept},
      {"EXTENDPATH %%UNDEF%%", [&path] { return PathVariable() == path; }},
      {"SET V=%%UNDEF%%", [this] { return Var("V") == "old"; }},
      {"GETFILEVERSION V=%%UNDEF%%\\kivrun.exe", [this] { return Var("V") == "old"; }},
      {"FILEEXISTS V=%%UNDEF%%\\keep.txt", [this] { return Var("V") == "old"; }},
      {"GETTIMESTAMP %%UNDEF%%V", [this] { return Var("V") == "old"; }},
      {"ADDSTARTMENU Kivrun %%UNDEF%%,C:\\x.exe", [] { return true; }},
      {"CREATESPECIALDIR " + kRoot + "\\%%UNDEF%%new", [] { return !PathExists(kRoot + "\\new"); }},
      {"SETFINALSTATUS %%UNDEF%%,done", [] { return true; }},
  };
  for (const Case& c : kCases) {
    EXPECT_EQ(Run("SET V=old\r\n" + c.line + "\r\nSET V=after\r\n"), kResultSymbolNotFound) << c.line;
    EXPECT_TRUE(log_.Contains("Error: Specified symbol was not found.\n")) << c.line;
    EXPECT_TRUE(c.unchanged()) << c.line;
  }
}

TEST_F(ActingText, ATextThatDoesNotFitIsNeverWrittenCut) {
  const std::string key = std::string("HKCU\\") + kKeyBase;
  const std::string part(250, 'x');
  // Four values of 250 characters make 1000 characters of data: one more than is kept.
  EXPECT_EQ(Run("SET P=" + part + "\r\nSETREGVALUE " + key + ",InstallDir=%%P%%%%P%%%%P%%%%P%%\r\n"),
            kResultNowhereToGetValue);
  EXPECT_TRUE(log_.Contains("Error: Nowhere to get value from.\n"));
  EXPECT_EQ(ReadRegistryText("InstallDir"), "C:\\P");
  EXPECT_EQ(Run("SET P=" + part + "\r\nSETREGVALUE " + key + ",InstallDir=%%P%%%%P%%%%P%%\r\n"), kResultOk);
  EXPECT_EQ(ReadRegistryText("InstallDir").size(), 750u);
  // A path of more than 259 characters would name another file.
  EXPECT_EQ(Run("SET P=" + part + "\r\nDELETEONEFILE %%P%%%%P%%\r\n"), kResultNowhereToGetValue);
}
