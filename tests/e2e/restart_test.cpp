// Deletion at restart, carried out for real: the Prepare tests schedule, the test command
// then restarts Wine (wineserver -k and a new start), and the After tests look.
#include <gtest/gtest.h>

#include "e2e_support.h"

namespace {

const char kNtFile[] = "C:\\kivtest\\restart\\in use by nt.dll";
const char kFolder[] = "C:\\kivtest\\restart";
const char k9xFile[] = "C:\\kivtest\\restart9x.dll";
const char k9xSecondFile[] = "C:\\kivtest\\restart 9x second.dll";  // under its short name

// Runs `lines` in Kivrun while the file is held open, so it cannot be deleted now.
DWORD RunHolding(const char* file, const std::string& lines) {
  HANDLE busy = CreateFileA(file, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
  std::string script = WriteScript("restart.kiv", "[Main]\r\n" + lines);
  DWORD code = RunKivrun({"/Script=" + script, "/Section=Main", "/Log=" + FreshLog("restart")});
  CloseHandle(busy);
  return code;
}

}  // namespace

TEST(RestartPrepare, SchedulesAFileInUseOnEachRoute) {
  CreateDirectoryA("C:\\kivtest", nullptr);
  CreateDirectoryA(kFolder, nullptr);
  EXPECT_EQ(RunHolding(kNtFile, std::string("REMOVEDIRRECURSIVE ") + kFolder + "\r\n"), 0u);
  EXPECT_NE(GetFileAttributesA(kNtFile), INVALID_FILE_ATTRIBUTES);  // still there until the restart

  SetWineVersion("win98");  // two paths in wininit.ini: both go at the restart, not only the last
  HANDLE second = CreateFileA(k9xSecondFile, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD code =
      RunHolding(k9xFile, std::string("DELETEONEFILE ") + k9xFile + "\r\nDELETEONEFILE " + k9xSecondFile + "\r\n");
  CloseHandle(second);
  SetWineVersion(nullptr);
  EXPECT_EQ(code, 0u);
  EXPECT_NE(GetFileAttributesA(k9xFile), INVALID_FILE_ATTRIBUTES);
  EXPECT_NE(GetFileAttributesA(k9xSecondFile), INVALID_FILE_ATTRIBUTES);
}

TEST(RestartAfter, TheScheduledFilesAndFolderAreGone) {
  EXPECT_EQ(GetFileAttributesA(kNtFile), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetFileAttributesA(kFolder), INVALID_FILE_ATTRIBUTES);  // files first, then the folder
  EXPECT_EQ(GetFileAttributesA(k9xFile), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetFileAttributesA(k9xSecondFile), INVALID_FILE_ATTRIBUTES);
}
