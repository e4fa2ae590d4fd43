// Single files, folders and file tests, on real files.
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>
#include <thread>

#include "command_test.h"
#include "commands/files/file_commands.h"
#include "engine/result_codes.h"
#include "platform/safe_rewrite.h"
#include "win32/file_fixtures.h"
#include "win32/helper_process.h"

namespace {

const std::string kRoot = "C:\\kivtest\\files";

class FileCommands : public CommandTest {
 protected:
  void SetUp() override {
    CreateDirectoryA("C:\\kivtest", nullptr);
    DeleteTree(kRoot.c_str());
    ForgetPendingDeletions();
    CreateDirectoryA(kRoot.c_str(), nullptr);
  }
  void TearDown() override {
    DeleteTree(kRoot.c_str());
    ForgetPendingDeletions();
    ClearReferenceFiles();
  }
};

}  // namespace

TEST_F(FileCommands, CreateDirMakesTheWholeChainAndRefusesShortNames) {
  EXPECT_EQ(Run("SET R=" + kRoot + "\r\nCREATEDIR %%R%%\\A\\B\\C\r\n"), kResultOk);
  EXPECT_TRUE(PathExists(kRoot + "\\A\\B\\C"));
  EXPECT_EQ(Run("CREATEDIR ab\r\n"), kResultBadSwitch);
  EXPECT_FALSE(log_.Contains("Error:"));
  EXPECT_EQ(Run("CREATEDIR %%Undefined%%\\x\r\n"), kResultSymbolNotFound);
  EXPECT_TRUE(log_.Contains("Error: Specified symbol was not found.\n"));
}

TEST_F(FileCommands, RemoveDirTakesOnlyAnEmptyFolderAndTheRecursiveFormTakesATree) {
  CreateDirectoryA((kRoot + "\\Empty").c_str(), nullptr);
  CreateDirectoryA((kRoot + "\\Full").c_str(), nullptr);
  WriteFileText(kRoot + "\\Full\\a.txt", "a");
  CreateDirectoryA((kRoot + "\\Full\\Sub").c_str(), nullptr);
  WriteFileText(kRoot + "\\Full\\Sub\\b.txt", "b");
  SetFileAttributesA((kRoot + "\\Full\\Sub\\b.txt").c_str(), FILE_ATTRIBUTE_HIDDEN);
  SetFileAttributesA((kRoot + "\\Full\\a.txt").c_str(), FILE_ATTRIBUTE_READONLY);  // goes now, not at restart
  SetFileAttributesA((kRoot + "\\Full\\Sub").c_str(), FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(Run("REMOVEDIR " + kRoot + "\\Empty\r\nREMOVEDIR " + kRoot + "\\Full\r\n"), kResultOk);
  EXPECT_FALSE(PathExists(kRoot + "\\Empty"));
  EXPECT_TRUE(PathExists(kRoot + "\\Full"));
  EXPECT_EQ(Run("REMOVEDIRRECURSIVE " + kRoot + "\\Full\r\n"), kResultOk);
  EXPECT_FALSE(PathExists(kRoot + "\\Full"));
  EXPECT_EQ(PendingDeletions().find(kRoot), std::string::npos);
}

TEST_F(FileCommands, ATreeWithAFileInUseIsScheduledFileBeforeFolder) {
  CreateDirectoryA((kRoot + "\\Busy").c_str(), nullptr);
  WriteFileText(kRoot + "\\Busy\\in use.dll", "x");
  HANDLE inUse = CreateFileA((kRoot + "\\Busy\\in use.dll").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                             OPEN_EXISTING, 0, nullptr);
  EXPECT_EQ(Run("REMOVEDIRRECURSIVE " + kRoot + "\\Busy\r\n"), kResultOk);
  CloseHandle(inUse);
  std::string pending = PendingDeletions();
  size_t file = pending.find(kRoot + "\\Busy\\in use.dll");
  size_t folder = pending.find(kRoot + "\\Busy", file + 1);
  EXPECT_NE(file, std::string::npos);
  EXPECT_NE(folder, std::string::npos);
}

TEST_F(FileCommands, CopyOneFileMakesTheFoldersAndTellsAMissingSourceFromATargetInUse) {
  WriteFileText(kRoot + "\\src.txt", "source");
  EXPECT_EQ(Run("SET R=" + kRoot + "\r\nCOPYONEFILE %%R%%\\src.txt , %%R%%\\dst.txt\r\n"), kResultOk);
  EXPECT_EQ(ReadWholeFile(kRoot + "\\dst.txt"), "source");
  EXPECT_EQ(Run("COPYONEFILE " + kRoot + "\\src.txt," + kRoot + "\\New\\Deeper\\dst.txt\r\n"), kResultOk);
  EXPECT_EQ(ReadWholeFile(kRoot + "\\New\\Deeper\\dst.txt"), "source");
  EXPECT_EQ(Run("COPYONEFILE " + kRoot + "\\gone.txt," + kRoot + "\\dst.txt\r\n"), kResultFileNotFound);
  EXPECT_TRUE(log_.Contains("Error: The requested file does not exist.\n"));
  EXPECT_EQ(Run("COPYONEFILE " + kRoot + "\\src.txt\r\n"), kResultBadSwitch);
  FileHolder holder("write", kRoot + "\\dst.txt");
  ASSERT_TRUE(holder.Holding());
  EXPECT_EQ(Run("COPYONEFILE " + kRoot + "\\src.txt," + kRoot + "\\dst.txt\r\n"), kResultTargetInUse);
  EXPECT_TRUE(log_.Contains("Error: Target file is in use.\n"));
}

TEST_F(FileCommands, DeleteOneFileDeletesOrSchedulesAndNeedsAPath) {
  WriteFileText(kRoot + "\\gone.txt", "x");
  SetFileAttributesA((kRoot + "\\gone.txt").c_str(), FILE_ATTRIBUTE_READONLY);
  WriteFileText(kRoot + "\\busy.txt", "x");
  HANDLE inUse = CreateFileA((kRoot + "\\busy.txt").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             0, nullptr);
  EXPECT_EQ(Run("DELETEONEFILE " + kRoot + "\\gone.txt\r\nDELETEONEFILE " + kRoot + "\\busy.txt\r\nDELETEONEFILE " +
                kRoot + "\\never.txt\r\n"),
            kResultOk);
  CloseHandle(inUse);
  EXPECT_FALSE(PathExists(kRoot + "\\gone.txt"));
  EXPECT_NE(PendingDeletions().find(kRoot + "\\busy.txt"), std::string::npos);
  EXPECT_EQ(Run("DELETEONEFILE %%Undefined%%\r\n"), kResultSymbolNotFound);
  EXPECT_EQ(Run("SET E=\r\nDELETEONEFILE %%E%%\r\n"), kResultBadSwitch);
}

TEST_F(FileCommands, FileTestsTellFilesFromFoldersAndLockedFromFree) {
  WriteFileText(kRoot + "\\free.txt", "x");
  WriteFileText(kRoot + "\\readonly.txt", "x");
  SetFileAttributesA((kRoot + "\\readonly.txt").c_str(), FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(Run("SET R=" + kRoot + "\r\nFILEEXISTS A=%%R%%\\free.txt\r\nFILEEXISTS B=%%R%%\r\nFILEEXISTS C=%%R%%\\x\r\n"
                "ISFILELOCKED D=" + kRoot + "\\missing.txt\r\nISFILELOCKED E=" + kRoot + "\\readonly.txt\r\n"
                "ISFILELOCKED F=" + kRoot + "\\free.txt\r\n"),
            kResultOk);
  EXPECT_EQ(Var("A"), "TRUE");
  EXPECT_EQ(Var("B"), "FALSE");
  EXPECT_EQ(Var("C"), "FALSE");
  EXPECT_EQ(Var("D"), "FALSE");
  EXPECT_EQ(Var("E"), "TRUE");
  EXPECT_EQ(Var("F"), "FALSE");
  EXPECT_EQ(Run("FILEEXISTS NoEquals\r\n"), kResultNowhereToPutValue);
  EXPECT_FALSE(log_.Contains("Error:"));
  EXPECT_EQ(Run("ISFILELOCKED NoEquals\r\n"), kResultNowhereToPutValue);
  EXPECT_TRUE(log_.Contains("Error: Nowhere to put value.\n"));
}

TEST_F(FileCommands, IsCurrentFileOlderComparesWithAReferenceRecord) {
  WriteFileText(kRoot + "\\scan.dat", "x");
  const std::string workDir = "SETWORKDIR " + kRoot + "\r\n";
  EXPECT_EQ(Run(workDir + "ISCURRENTFILEOLDER A=missing.dat\r\n"), kResultOk);
  EXPECT_EQ(Var("A"), "TRUE");
  // Without a reference record an installed file gives 13, unreported, and no answer.
  EXPECT_EQ(Run(workDir + "SET B=unset\r\nISCURRENTFILEOLDER B=scan.dat\r\n"), kResultFileNotFound);
  EXPECT_EQ(Var("B"), "unset");
  EXPECT_FALSE(log_.Contains("Error:"));

  ReferenceFile later = {"SCAN.DAT", 0, 0, 0, 250, 1, 1};  // 2150-01-01
  AddReferenceFile(later);
  EXPECT_EQ(Run(workDir + "ISCURRENTFILEOLDER C=scan.dat\r\n"), kResultOk);
  EXPECT_EQ(Var("C"), "TRUE");
  ClearReferenceFiles();
  ReferenceFile earlier = {"scan.dat", 23, 59, 59, 80, 12, 31};  // 1980-12-31
  AddReferenceFile(earlier);
  EXPECT_EQ(Run(workDir + "ISCURRENTFILEOLDER D=scan.dat\r\n"), kResultOk);
  EXPECT_EQ(Var("D"), "FALSE");
}

TEST_F(FileCommands, WaitTillUnlockedWaitsInStepsUntilTheFileIsFreeOrTheTimeIsOver) {
  const std::string file = kRoot + "\\locked.txt";
  WriteFileText(file, "x");
  SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY);
  DWORD start = GetTickCount();
  EXPECT_EQ(Run("WAITTILLUNLOCKED " + file + ",2500\r\n"), kResultOk);
  DWORD elapsed = GetTickCount() - start;
  EXPECT_GE(elapsed, 2400u);
  EXPECT_LT(elapsed, 6000u);

  std::thread unlock([&] {
    Sleep(500);
    SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
  });
  start = GetTickCount();
  EXPECT_EQ(Run("WAITTILLUNLOCKED " + file + ",10000\r\n"), kResultOk);
  elapsed = GetTickCount() - start;
  unlock.join();
  EXPECT_LT(elapsed, 2900u);  // after the first step of 1000 ms or the second

  start = GetTickCount();
  EXPECT_EQ(Run("WAITTILLUNLOCKED " + file + ",0\r\nWAITTILLUNLOCKED ,5000\r\n"), kResultOk);
  EXPECT_LT(GetTickCount() - start, 500u);
}

// Held open by another program is locked too; the wait ends when it is let go, not at its time.
TEST_F(FileCommands, AFileHeldByAnotherProgramIsLockedUntilItIsLetGo) {
  const std::string file = kRoot + "\\held.dll";
  auto holder = std::make_unique<FileHolder>("write", file);
  ASSERT_TRUE(holder->Holding());
  EXPECT_EQ(Run("ISFILELOCKED L=" + file + "\r\nCANALLFILESBECOPIED C=" + file + "\r\n"), kResultOk);
  EXPECT_EQ(Var("L") + Var("C"), "TRUEFALSE");
  std::thread release([&] {
    Sleep(1500);
    holder.reset();
  });
  const DWORD start = GetTickCount();
  EXPECT_EQ(Run("WAITTILLUNLOCKED " + file + ",10000\r\nISFILELOCKED L=" + file + "\r\n"), kResultOk);
  EXPECT_LT(GetTickCount() - start, 4000u);
  release.join();
  EXPECT_EQ(Var("L"), "FALSE");
}

TEST_F(FileCommands, CanAllFilesBeCopiedRemembersItsAnswerForAnEmptyList) {
  WriteFileText(kRoot + "\\a.dll", "a");
  WriteFileText(kRoot + "\\b.dll", "b");
  SetFileAttributesA((kRoot + "\\b.dll").c_str(), FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(Run("CANALLFILESBECOPIED V=" + kRoot + "\\a.dll," + kRoot + "\\b.dll\r\nCANALLFILESBECOPIED W=\r\n"),
            kResultOk);
  EXPECT_EQ(Var("V"), "FALSE");
  EXPECT_EQ(Var("W"), "FALSE");
  EXPECT_EQ(Run("CANALLFILESBECOPIED V = " + kRoot + "\\a.dll, " + kRoot + "\\new.dll\r\nCANALLFILESBECOPIED W=\r\n"
                "CANALLFILESBECOPIED nothing\r\n"),
            kResultOk);
  EXPECT_EQ(Var("V"), "TRUE");
  EXPECT_EQ(Var("W"), "TRUE");
}

TEST_F(FileCommands, RemoveScanExeFromAutoexecTakesTheScannerLineAndTheNext) {
  const char* autoexec = "C:\\AutoExec.Bat";
  WriteFileText(autoexec, "@ECHO OFF\r\nC:\\VORNA\\SCAN.EXE /NOMEM\r\nREM after\r\nPATH C:\\DOS\r\n");
  EXPECT_EQ(Run("REMOVESCANEXEFROMAUTOEXEC\r\n"), kResultOk);
  EXPECT_EQ(ReadWholeFile(autoexec), "@ECHO OFF\r\nPATH C:\\DOS\r\n");

  WriteFileText(autoexec, "@ECHO OFF\r\nC:\\VORNA\\SCAN.EXE C:\r\n");
  EXPECT_EQ(Run("REMOVESCANEXEFROMAUTOEXEC ignored\r\n"), kResultOk);
  EXPECT_EQ(ReadWholeFile(autoexec), "@ECHO OFF\r\n");

  WriteFileText(autoexec, "@ECHO OFF\r\nscan.exe /x\r\nSCAN.EXE\r\n");
  EXPECT_EQ(Run("REMOVESCANEXEFROMAUTOEXEC\r\n"), kResultOk);
  EXPECT_EQ(ReadWholeFile(autoexec), "@ECHO OFF\r\nscan.exe /x\r\nSCAN.EXE\r\n");
  DeleteFileA(autoexec);
  EXPECT_EQ(Run("REMOVESCANEXEFROMAUTOEXEC\r\n"), kResultOk);
}

// The repair goes through the one safe rewrite: a file that cannot be replaced (open without
// FILE_SHARE_DELETE) stays as it was, by the route of either family, with no temporary file left.
TEST_F(FileCommands, RemoveScanExeFromAutoexecReplacesTheFileWholeOrNotAtAll) {
  const std::string before = "@ECHO OFF\r\nC:\\VORNA\\SCAN.EXE /NOMEM\r\nREM after\r\n";
  const std::string autoexec = "C:\\AutoExec.Bat", file = kRoot + "\\start.bat";
  auto hold = [](const std::string& path) {
    return CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                       nullptr);
  };
  WriteFileText(autoexec, before);
  HANDLE held = hold(autoexec);
  EXPECT_EQ(Run("REMOVESCANEXEFROMAUTOEXEC\r\n"), kResultOk);
  CloseHandle(held);
  EXPECT_EQ(ReadWholeFile(autoexec), before);
  DeleteFileA(autoexec.c_str());
  for (int route = 0; route < 4; ++route) {
    const bool ntFamily = route < 2, holdOpen = route % 2 == 1;
    SCOPED_TRACE(route);
    WriteFileText(file, before);
    held = holdOpen ? hold(file) : INVALID_HANDLE_VALUE;
    EXPECT_EQ(ReplaceFileTextByRoute(file.c_str(), "@ECHO OFF\r\n", ntFamily), !holdOpen);
    if (holdOpen) CloseHandle(held);
    EXPECT_EQ(ReadWholeFile(file), holdOpen ? before : "@ECHO OFF\r\n");
  }
  WIN32_FIND_DATAA found;
  EXPECT_EQ(FindFirstFileA("C:\\kiv*.tmp", &found), INVALID_HANDLE_VALUE);
  EXPECT_EQ(FindFirstFileA((kRoot + "\\*.tmp").c_str(), &found), INVALID_HANDLE_VALUE);
}
