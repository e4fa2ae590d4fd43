// The rules that keep bad input from destroying anything: the targets no command may
// destroy (the rule as a table, then each command that must call it), and text a command
// acts on used whole or not at all (an undefined variable gives 28, a text that does not
// fit 24; nothing is written, deleted, started or stored).
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>

#include "command_test.h"
#include "commands/target_guard.h"
#include "engine/result_codes.h"
#include "win32/file_fixtures.h"

namespace {

const std::string kRoot = "C:\\kivtest\\safety";
const char kKeyBase[] = "Software\\KivrunSafetyTest";

std::string WindowsFolder() {
  char folder[MAX_PATH] = "";
  GetWindowsDirectoryA(folder, sizeof(folder));
  return folder;
}

std::string SystemFolder() {
  char folder[MAX_PATH] = "";
  GetSystemDirectoryA(folder, sizeof(folder));
  return folder;
}

std::string ShortName(const char* path) {
  char name[MAX_PATH] = "";
  GetShortPathNameA(path, name, sizeof(name));
  return name;
}

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

// A folder with one file to keep and a key with two values to keep.
class SafetyRules : public CommandTest {
 protected:
  void SetUp() override {
    CreateDirectoryA("C:\\kivtest", nullptr);
    CreateDirectoryA(kRoot.c_str(), nullptr);
    WriteFileText(kRoot + "\\keep.txt", "keep");
    HKEY key = nullptr;
    RegCreateKeyA(HKEY_CURRENT_USER, kKeyBase, &key);
    RegSetValueExA(key, "Keep", 0, REG_SZ, reinterpret_cast<const BYTE*>("1"), 2);
    RegSetValueExA(key, "InstallDir", 0, REG_SZ, reinterpret_cast<const BYTE*>("C:\\P"), 5);
    RegCloseKey(key);
  }
  void TearDown() override {
    DeleteFileA((kRoot + "\\keep.txt").c_str());
    DeleteFileA((kRoot + "\\a file").c_str());
    RemoveDirectoryA(kRoot.c_str());
    RegDeleteTreeA(HKEY_CURRENT_USER, kKeyBase);
  }
};

}  // namespace

TEST(TargetGuardRule, RefusesEveryRootAndSystemFolderButNotTheFoldersBelowThem) {
  const std::string windows = WindowsFolder();
  struct Case {
    std::string path;
    bool isProtected;
  };
  const Case kCases[] = {
      {"", true},
      {"   ", true},
      {"sub", true},
      {"\\sub", true},  // what %%DIR%%\sub becomes with DIR empty
      {"C:sub", true},
      {"C:", true},
      {"C:\\", true},
      {"c:/", true},
      {"C:\\kivtest\\..", true},
      {"\\\\server\\share", true},
      {"\\\\server\\share\\", true},
      {"\\\\?\\C:\\kivtest", true},
      {"\\\\.\\C:", true},
      {windows, true},
      {windows + "\\", true},
      {windows + "\\system32\\..", true},
      {SystemFolder(), true},
      {"C:\\Program Files", true},
      {"C:\\PROGRAM FILES\\", true},
      {ShortName("C:\\Program Files"), true},
      {windows + "\\Temp", false},
      {"C:\\Program Files\\Vendor", false},
      {"C:\\kivtest", false},
      {"\\\\server\\share\\folder", false},
  };
  for (const Case& c : kCases) EXPECT_EQ(IsProtectedFolder(c.path.c_str()), c.isProtected) << "'" << c.path << "'";

}

TEST_F(SafetyRules, FolderCommandsRefuseAProtectedTargetAndChangeNothing) {
  // Each line is run with the process standing in the folder a wrong path would empty.
  char previous[MAX_PATH];
  GetCurrentDirectoryA(sizeof(previous), previous);
  SetCurrentDirectoryA(kRoot.c_str());
  const std::string kLines[] = {
      "REMOVEDIRRECURSIVE %%EMPTY%%", "REMOVEDIRRECURSIVE %%EMPTY%%\\sub", "REMOVEDIRRECURSIVE C:\\",
      "REMOVEDIR %%EMPTY%%",          "CREATESPECIALDIR C:\\",            "CREATESPECIALDIR " + WindowsFolder(),
      "CREATESPECIALDIR " + kRoot + "\\keep.txt",
  };
  for (const std::string& line : kLines) {
    EXPECT_EQ(Run("SET EMPTY=\r\n" + line + "\r\n"), kResultBadSwitch) << line;
    EXPECT_TRUE(log_.Contains("Error: Invalid switch or value supplied in command line parameters.\n")) << line;
  }
  SetCurrentDirectoryA(previous);
  EXPECT_TRUE(PathExists(kRoot + "\\keep.txt"));

  // Below the guard the commands work as ever.
  EXPECT_EQ(Run("CREATESPECIALDIR " + kRoot + "\\a file\r\nREMOVEDIR " + kRoot + "\\a file\r\n"), kResultOk);
  EXPECT_FALSE(PathExists(kRoot + "\\a file"));
}

TEST_F(SafetyRules, RegistryDeletesRefuseARootKeyAlone) {
  const std::string kLines[] = {
      "DELETEREGKEYRECURSIVE HKCU\\", "DELETEREGKEYRECURSIVE HKCU\\ \\", "DELETEREGKEY HKCU\\",
      "DELETEEMPTYREGKEY HKCU\\",     "DELETEREGVALUE HKCU\\,Keep",
  };
  for (const std::string& line : kLines) {
    EXPECT_EQ(Run(line + "\r\n"), kResultBadSwitch) << line;
  }
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kKeyBase, 0, KEY_READ, &key), ERROR_SUCCESS);
  EXPECT_EQ(RegQueryValueExA(key, "Keep", nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_EQ(Run(std::string("DELETEREGKEYRECURSIVE HKCU\\") + kKeyBase + "\r\n"), kResultOk);
  EXPECT_NE(RegOpenKeyExA(HKEY_CURRENT_USER, kKeyBase, 0, KEY_READ, &key), ERROR_SUCCESS);
}

TEST_F(SafetyRules, AnUndefinedVariableFailsTheLineAndChangesNothing) {
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

TEST_F(SafetyRules, ATextThatDoesNotFitIsNeverWrittenCut) {
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
