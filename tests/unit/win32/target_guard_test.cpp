// The targets no command may destroy: the rule as a table, then each command that must call it.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "command_test.h"
#include "commands/target_guard.h"
#include "engine/result_codes.h"
#include "win32/file_fixtures.h"

namespace {

const std::string kRoot = "C:\\kivtest\\guard";
const char kKeyBase[] = "Software\\KivrunGuardTest";

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

class TargetGuard : public CommandTest {
 protected:
  void SetUp() override {
    CreateDirectoryA("C:\\kivtest", nullptr);
    CreateDirectoryA(kRoot.c_str(), nullptr);
    WriteFileText(kRoot + "\\keep.txt", "keep");
    HKEY key = nullptr;
    RegCreateKeyA(HKEY_CURRENT_USER, kKeyBase, &key);
    RegSetValueExA(key, "Keep", 0, REG_SZ, reinterpret_cast<const BYTE*>("1"), 2);
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

  EXPECT_TRUE(IsRootOnlyKeyPath(""));
  EXPECT_TRUE(IsRootOnlyKeyPath(" \\\\ "));
  EXPECT_FALSE(IsRootOnlyKeyPath("Software"));
}

TEST_F(TargetGuard, FolderCommandsRefuseAProtectedTargetAndChangeNothing) {
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

TEST_F(TargetGuard, RegistryDeletesRefuseARootKeyAlone) {
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
