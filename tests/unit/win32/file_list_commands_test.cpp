// COPYFILES and DELFILES with their FILECIO and FILECOW lists, on real files.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "command_test.h"
#include "engine/result_codes.h"
#include "win32/file_fixtures.h"
#include "win32/helper_process.h"

namespace {

const std::string kPackage = "C:\\kivtest\\package";
const std::string kTarget = "C:\\kivtest\\installed\\engine";

std::string Read(const std::string& path) { return ReadWholeFile(path); }

// Sets a file's last-write time `secondsFromNow` away from now.
void Touch(const std::string& path, int secondsFromNow) {
  SYSTEMTIME now;
  GetSystemTime(&now);
  FILETIME time;
  SystemTimeToFileTime(&now, &time);
  ULARGE_INTEGER value;
  value.LowPart = time.dwLowDateTime;
  value.HighPart = time.dwHighDateTime;
  value.QuadPart += static_cast<long long>(secondsFromNow) * 10000000LL;
  time.dwLowDateTime = value.LowPart;
  time.dwHighDateTime = value.HighPart;
  HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  SetFileTime(file, nullptr, nullptr, &time);
  CloseHandle(file);
}

void RemoveTree(const std::string& folder) {
  std::string from = folder + std::string(1, '\0');
  SHFILEOPSTRUCTA operation = {};
  operation.wFunc = FO_DELETE;
  operation.pFrom = from.c_str();
  operation.fFlags = FOF_NO_UI;
  SHFileOperationA(&operation);
}

class FileLists : public CommandTest {
 protected:
  void SetUp() override {
    RemoveTree("C:\\kivtest\\installed");
    RemoveTree(kPackage);
    CreateDirectoryA("C:\\kivtest", nullptr);
    CreateDirectoryA(kPackage.c_str(), nullptr);
    WriteFileText(kPackage + "\\app.exe", "new app");
    WriteFileText(kPackage + "\\new.dll", "new dll");
  }
  void TearDown() override {
    RemoveTree("C:\\kivtest\\installed");
    RemoveTree(kPackage);
  }
  int Install(const std::string& entries) {
    return RunScript("[Main]\r\nSETWORKDIR " + kTarget + "\r\nCOPYFILES Files\r\n[Files]\r\n" + entries, kPackage);
  }
};

}  // namespace

TEST_F(FileLists, CopyFilesCopiesFromTheScriptFolderIntoANewWorkingFolder) {
  EXPECT_EQ(Install("FILECIO app.exe\r\nFILECIO new.dll , old.dll\r\n"), kResultOk);
  EXPECT_EQ(Read(kTarget + "\\app.exe"), "new app");
  EXPECT_EQ(Read(kTarget + "\\old.dll"), "new dll");
  EXPECT_FALSE(PathExists(kTarget + "\\new.dll"));
  EXPECT_TRUE(log_.Contains("FILECIO: " + kPackage + "\\app.exe " + kTarget + "\\app.exe\r\n"));
  EXPECT_FALSE(log_.Contains("Executing line 6"));  // entries log only their own line
}

TEST_F(FileLists, FileCioLeavesANewerFileAndFileCowDoesNot) {
  CreateDirectoryA("C:\\kivtest\\installed", nullptr);
  CreateDirectoryA(kTarget.c_str(), nullptr);
  WriteFileText(kTarget + "\\app.exe", "installed newer");
  Touch(kTarget + "\\app.exe", 3600);
  EXPECT_EQ(Install("FILECIO app.exe\r\n"), kResultOk);
  EXPECT_EQ(Read(kTarget + "\\app.exe"), "installed newer");
  EXPECT_EQ(Install("FILECOW app.exe\r\n"), kResultOk);
  EXPECT_EQ(Read(kTarget + "\\app.exe"), "new app");

  // An older or equally old file is replaced; so is a read-only or hidden one, under either
  // command. A newer one that is skipped is left exactly as it is, attributes and all.
  const std::string app = kTarget + "\\app.exe";
  for (const char* entry : {"FILECIO app.exe\r\n", "FILECOW app.exe\r\n"}) {
    for (DWORD attributes : {DWORD{FILE_ATTRIBUTE_READONLY}, DWORD{FILE_ATTRIBUTE_HIDDEN}}) {
      SetFileAttributesA(app.c_str(), FILE_ATTRIBUTE_NORMAL);
      WriteFileText(app, "installed older");
      Touch(app, -3600);
      SetFileAttributesA(app.c_str(), attributes);
      EXPECT_EQ(Install(entry), kResultOk) << entry;
      EXPECT_EQ(Read(app), "new app") << entry;
    }
  }
  SetFileAttributesA(app.c_str(), FILE_ATTRIBUTE_NORMAL);
  WriteFileText(app, "installed newer");
  Touch(app, 3600);
  SetFileAttributesA(app.c_str(), FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(Install("FILECIO app.exe\r\n"), kResultOk);
  EXPECT_EQ(Read(app), "installed newer");
  EXPECT_EQ(GetFileAttributesA(app.c_str()) & FILE_ATTRIBUTE_READONLY, DWORD{FILE_ATTRIBUTE_READONLY});
  SetFileAttributesA(app.c_str(), FILE_ATTRIBUTE_NORMAL);
}

// The working folder's chain is made once per list, and again after a line of the list
// that may have changed or removed it.
TEST_F(FileLists, TheWorkingFolderIsMadeAgainAfterALineThatRemovedIt) {
  EXPECT_EQ(Install("FILECIO app.exe\r\nREMOVEDIRRECURSIVE C:\\kivtest\\installed\r\nFILECIO new.dll\r\n"
                    "SETWORKDIR C:\\kivtest\\installed\\other\r\nFILECOW app.exe\r\n"),
            kResultOk);
  EXPECT_FALSE(PathExists(kTarget + "\\app.exe"));
  EXPECT_EQ(Read(kTarget + "\\new.dll"), "new dll");
  EXPECT_EQ(Read("C:\\kivtest\\installed\\other\\app.exe"), "new app");
}

TEST_F(FileLists, AMissingSourceEndsTheListWith13EvenUnderFileCow) {
  EXPECT_EQ(Install("FILECOW missing.dll\r\nFILECIO app.exe\r\n"), kResultFileNotFound);
  EXPECT_TRUE(log_.Contains("Error: The requested file does not exist.\n>>Line 5: FILECOW missing.dll\r\n"));
  EXPECT_FALSE(PathExists(kTarget + "\\app.exe"));
}

TEST_F(FileLists, EntriesAreUsedAsWrittenAndOtherLinesRunAsUsual) {
  WriteFileText(kPackage + "\\%%X%%", "literal");
  EXPECT_EQ(Install("SET X=app.exe\r\nFILECIO %%X%%\r\nRETURN now\r\nGOTOIF 1=1,Side\r\nFILECIO app.exe\r\n"
                    "[Side]\r\nSET SideRan=1\r\n"),
            kResultOk);
  EXPECT_EQ(Read(kTarget + "\\%%X%%"), "literal");
  EXPECT_EQ(Var("SideRan"), "1");
  EXPECT_EQ(Read(kTarget + "\\app.exe"), "new app");  // the list went on after GOTOIF
}

TEST_F(FileLists, AMissingListSectionGives4ForTheCallingLine) {
  EXPECT_EQ(RunScript("[Main]\r\nCOPYFILES files\r\n[Files]\r\n"), kResultSectionNotFound);
  EXPECT_TRUE(log_.Contains("Error: Unable to find the specified section.\n>>Line 2: COPYFILES files\r\n"));
  EXPECT_EQ(RunScript("[Main]\r\nDELFILES Nothing\r\n"), kResultSectionNotFound);
  EXPECT_TRUE(log_.Contains(">>Line 2: DELFILES Nothing\r\n"));
}

TEST_F(FileLists, ALockedTargetIsTriedFiveTimesThenFileCioReports33AndFileCowGoesOn) {
  CreateDirectoryA("C:\\kivtest\\installed", nullptr);
  CreateDirectoryA(kTarget.c_str(), nullptr);
  WriteFileText(kTarget + "\\app.exe", "old");
  Touch(kTarget + "\\app.exe", -3600);
  {
    FileHolder holder("write", kTarget + "\\app.exe");
    ASSERT_TRUE(holder.Holding());
    DWORD start = GetTickCount();
    EXPECT_EQ(Install("FILECIO app.exe\r\nFILECIO new.dll\r\n"), kResultTargetInUse);
    EXPECT_GE(GetTickCount() - start, 4500u);
    EXPECT_TRUE(log_.Contains("Error: Target file is in use.\n>>Line 5: FILECIO app.exe\r\n"));
    EXPECT_FALSE(PathExists(kTarget + "\\new.dll"));

    EXPECT_EQ(Install("FILECOW app.exe\r\nFILECIO new.dll\r\n"), kResultOk);
    EXPECT_TRUE(PathExists(kTarget + "\\new.dll"));
  }
  EXPECT_EQ(Read(kTarget + "\\app.exe"), "old");
}

// The target is the program of a process in the family folder: it is ended, the copy tried again.
TEST_F(FileLists, AfterEndingTheUsersOfTheTargetTheCopyIsTriedAgain) {
  char windows[MAX_PATH];
  GetWindowsDirectoryA(windows, sizeof(windows));
  const std::string folder = std::string(windows) + "\\Vorna", target = folder + "\\kivtest app.exe";
  CreateDirectoryA(folder.c_str(), nullptr);
  for (const std::string& line : {"SETWORKDIR " + folder + "\r\nCOPYFILES Files",
                                  "COPYONEFILE " + kPackage + "\\app.exe," + target}) {
    CopyFileA((ProgramFolder() + "kivrun_hold_file.exe").c_str(), target.c_str(), FALSE);
    std::string commandLine = "\"" + target + "\" sleep 60000";
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION user = {};
    ASSERT_TRUE(
        CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &user));
    Sleep(300);  // let it load
    EXPECT_EQ(RunScript("[Main]\r\n" + line + "\r\n[Files]\r\nFILECIO app.exe,kivtest app.exe\r\n", kPackage), kResultOk);
    TerminateProcess(user.hProcess, 0);  // when it was not ended
    WaitForSingleObject(user.hProcess, 5000);
    CloseHandle(user.hProcess);
    CloseHandle(user.hThread);
    EXPECT_TRUE(Read(target) == "new app");
    DeleteFileA(target.c_str());
  }
}

TEST_F(FileLists, DelFilesDeletesDestinationsAndSchedulesWhatIsInUse) {
  EXPECT_EQ(Install("FILECIO app.exe\r\nFILECIO new.dll,old.dll\r\n"), kResultOk);
  EXPECT_EQ(RunScript("[Main]\r\nSETWORKDIR " + kTarget + "\r\nDELFILES Files\r\n[Files]\r\nFILECIO app.exe\r\n"
                      "FILECIO new.dll,old.dll\r\nFILECIO never.there\r\n"),
            kResultOk);
  EXPECT_FALSE(PathExists(kTarget + "\\app.exe"));
  EXPECT_FALSE(PathExists(kTarget + "\\old.dll"));

  // A read-only file goes too.
  EXPECT_EQ(Install("FILECIO app.exe\r\n"), kResultOk);
  SetFileAttributesA((kTarget + "\\app.exe").c_str(), FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(RunScript("[Main]\r\nSETWORKDIR " + kTarget + "\r\nDELFILES Files\r\n[Files]\r\nFILECIO app.exe\r\n"),
            kResultOk);
  EXPECT_FALSE(PathExists(kTarget + "\\app.exe"));

  // A file in use stays, and is scheduled for the next restart.
  EXPECT_EQ(Install("FILECIO app.exe\r\n"), kResultOk);
  HANDLE inUse = CreateFileA((kTarget + "\\app.exe").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             0, nullptr);
  EXPECT_EQ(RunScript("[Main]\r\nSETWORKDIR " + kTarget + "\r\nDELFILES Files\r\n[Files]\r\nFILECIO app.exe\r\n"),
            kResultOk);
  EXPECT_TRUE(PathExists(kTarget + "\\app.exe"));
  EXPECT_NE(PendingDeletions().find(kTarget + "\\app.exe"), std::string::npos);
  CloseHandle(inUse);
  ForgetPendingDeletions();
}
