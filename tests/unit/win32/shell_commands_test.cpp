// Shell folders, Start Menu shortcuts and folders open to everyone.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>

#include <string>
#include <utility>

#include "command_test.h"
#include "commands/system/shell_commands.h"
#include "engine/result_codes.h"
#include "test_support.h"

namespace {

using ShellCommands = CommandTest;

std::string ShellPath(int folderId) {
  char path[MAX_PATH] = "";
  SHGetSpecialFolderPathA(nullptr, path, folderId, FALSE);
  return path;
}

}  // namespace

TEST_F(ShellCommands, GetSpecialDirNamesTheFoldersWithoutATrailingBackslash) {
  EXPECT_EQ(RunScript("[Main]\r\nGETSPECIALDIR T=temp\r\nGETSPECIALDIR W=Windows\r\nGETSPECIALDIR C=COMMON_STARTMENU\r\n"
                      "GETSPECIALDIR S=CURRENT_KIVSCRIPT\r\nGETSPECIALDIR P=PROGRAM_FILES\r\n"
                      "GETSPECIALDIR D=desktop\r\nGETSPECIALDIR U=startup\r\n",
                      "C:\\Upd"),
            kResultOk);
  char temp[MAX_PATH];
  GetTempPathA(sizeof(temp), temp);
  std::string expectedTemp = temp;
  expectedTemp.pop_back();
  EXPECT_EQ(Var("T"), expectedTemp);
  char windows[MAX_PATH];
  GetWindowsDirectoryA(windows, sizeof(windows));
  EXPECT_EQ(Var("W"), windows);
  EXPECT_EQ(Var("C"), ShellPath(CSIDL_COMMON_STARTMENU));
  EXPECT_EQ(Var("S"), "C:\\Upd");
  EXPECT_EQ(Var("P"), ShellPath(CSIDL_PROGRAM_FILES));
  EXPECT_EQ(Var("D"), ShellPath(CSIDL_DESKTOPDIRECTORY));
  EXPECT_EQ(Var("U"), ShellPath(CSIDL_STARTUP));
  EXPECT_EQ(Run("GETSPECIALDIR X\r\n"), kResultBadSwitch);
}

TEST_F(ShellCommands, AddStartMenuCreatesAShortcutToTheWholeTarget) {
  const std::string startMenu = ShellPath(CSIDL_COMMON_STARTMENU);
  const std::string target = "C:\\Program Files\\Vorna Scan Engine Directory\\Binaries\\Current\\scan.exe";  // 70 characters
  ASSERT_EQ(target.size(), 70u);
  EXPECT_EQ(Run("SET APPDIR=C:\\Program Files\\Vorna Scan Engine Directory\\Binaries\\Current\r\n"
                "GETSTARTMENUDIR Menu\r\nADDSTARTMENU Kivrun Test Scanner,%%APPDIR%%\\scan.exe\r\n"),
            kResultOk);
  EXPECT_EQ(Var("Menu"), startMenu);
  const std::string shortcut = startMenu + "\\Kivrun Test Scanner.lnk";
  ASSERT_NE(GetFileAttributesA(shortcut.c_str()), INVALID_FILE_ATTRIBUTES);

  IShellLinkA* link = nullptr;
  ASSERT_TRUE(SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                         reinterpret_cast<void**>(&link))));
  IPersistFile* file = nullptr;
  link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
  wchar_t wide[MAX_PATH];
  MultiByteToWideChar(CP_ACP, 0, shortcut.c_str(), -1, wide, MAX_PATH);
  EXPECT_TRUE(SUCCEEDED(file->Load(wide, STGM_READ)));
  char path[MAX_PATH] = "", description[MAX_PATH] = "";
  link->GetPath(path, sizeof(path), nullptr, SLGP_RAWPATH);
  link->GetDescription(description, sizeof(description));
  file->Release();
  link->Release();
  EXPECT_EQ(std::string(path), target);
  EXPECT_STREQ(description, "Kivrun Test Scanner");
  DeleteFileA(shortcut.c_str());

  EXPECT_EQ(Run("ADDSTARTMENU Kivrun Test Scanner\r\n"), kResultBadSwitch);
}

TEST_F(ShellCommands, CreateSpecialDirCreatesTheLastFolderOnly) {
  CreateDirectoryA("C:\\kivtest", nullptr);
  RemoveDirectoryA("C:\\kivtest\\Shared");
  EXPECT_EQ(Run("SET D=C:\\kivtest\r\nCREATESPECIALDIR %%D%%\\Shared\r\nCREATESPECIALDIR %%D%%\\Shared\r\n"),
            kResultOk);
  EXPECT_EQ(Run("CREATESPECIALDIR C:\\kivtest\\Missing\\Shared\r\n"), kResultBadSwitch);
  EXPECT_NE(GetFileAttributesA("C:\\kivtest\\Shared"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetFileAttributesA("C:\\kivtest\\Missing"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(Run("CREATESPECIALDIR    \r\n"), kResultBadSwitch);
  RemoveDirectoryA("C:\\kivtest\\Shared");
}

// Nothing found or nothing made: reported, and the variable keeps its value.
TEST_F(ShellCommands, LinesThatMakeNothingAreReported) {
  const std::pair<const char*, int> cases[] = {
      {"GETSPECIALDIR X=FOO", kResultBadSwitch},
      {"ADDSTARTMENU Kivrun <Test>|,C:\\scan.exe", kResultCannotWriteFile},
      {"ADDSTARTMENU No Such Folder\\Kivrun Test,C:\\scan.exe", kResultCannotWriteFile},
      {"CREATESPECIALDIR C:\\kivtest\\a<b>|", kResultBadSwitch},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Run(std::string("SET X=old\r\n") + c.first + "\r\n"), c.second) << c.first;
    EXPECT_TRUE(log_.Contains(std::string(">>Line 3: ") + c.first + "\r\n")) << c.first;
    EXPECT_EQ(Var("X"), "old");
  }
}
