// The process tools of both families (Wine has both the process-status library and the
// tool-help functions), driven against helper processes.
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/process_tool.h"
#include "platform/win32_handles.h"
#include "test_support.h"
#include "win32/helper_process.h"

namespace {

// A helper process started from a copy of a helper program at `path`.
class Helper {
 public:
  Helper(const std::string& program, const std::string& path, const std::vector<std::string>& arguments) {
    CopyFileA((ProgramFolder() + program).c_str(), path.c_str(), FALSE);
    std::string line = "\"" + path + "\"";
    for (const std::string& argument : arguments) line += " \"" + argument + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    if (CreateProcessA(path.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info_)) {
      CloseHandle(info_.hThread);
    }
    path_ = path;
  }
  ~Helper() {
    if (info_.hProcess != nullptr) {
      TerminateProcess(info_.hProcess, 99);
      WaitForSingleObject(info_.hProcess, 5000);
      CloseHandle(info_.hProcess);
    }
    DeleteFileA(path_.c_str());
  }
  bool Ended(DWORD waitMs = 0) const { return WaitForSingleObject(info_.hProcess, waitMs) == WAIT_OBJECT_0; }
  DWORD ExitCode() const {
    DWORD code = 0;
    GetExitCodeProcess(info_.hProcess, &code);
    return code;
  }
  DWORD id() const { return info_.dwProcessId; }
  const std::string& path() const { return path_; }

 private:
  PROCESS_INFORMATION info_ = {};
  std::string path_;
};

// A holder that waits on an event nobody sets: a process without windows that stays.
std::unique_ptr<Helper> Sleeper(const std::string& path) {
  auto helper = std::make_unique<Helper>("kivrun_hold_file.exe", path,
                                         std::vector<std::string>{"sleep", "60000"});
  Sleep(300);  // let it load
  return helper;
}

std::string WindowsFolder() {
  char folder[MAX_PATH];
  GetWindowsDirectoryA(folder, sizeof(folder));
  return folder;
}

using ToolFactory = ProcessTool* (*)();

class ProcessTools : public ::testing::TestWithParam<ToolFactory> {
 protected:
  void SetUp() override {
    tool_.reset(GetParam()());
    ASSERT_TRUE(tool_->Load());
  }
  std::unique_ptr<ProcessTool> tool_;
};

}  // namespace

TEST_P(ProcessTools, NamesMatchInAnyCaseAndOnlyTheFirstMatchIsEnded) {
  auto first = Sleeper(TempPath("sleepera.exe"));
  auto second = Sleeper(TempPath("sleeperb.exe"));
  LogRecorder log;
  EXPECT_TRUE(tool_->IsRunning("KIVTEST-SLEEPERA"));
  EXPECT_TRUE(tool_->IsRunning("kivtest-sleeperb.EXE"));
  EXPECT_FALSE(tool_->IsRunning("no-such-program"));

  EXPECT_EQ(tool_->KillByName("kivtest-sleeper"), 1);
  Sleep(200);
  EXPECT_NE(first->Ended(), second->Ended());  // one of the two, not both
  EXPECT_EQ(tool_->KillByName("KIVTEST-SLEEPER"), 1);
  EXPECT_TRUE(first->Ended(2000));
  EXPECT_TRUE(second->Ended(2000));
  EXPECT_EQ(tool_->KillByName("kivtest-sleeper"), 0);
  EXPECT_TRUE(log.Contains("Process terminated: " + std::to_string(first->id()) + ", "));
}

TEST_P(ProcessTools, KivrunAndItsHostArePassedOverAndTheNextMatchIsEnded) {
  auto host = Sleeper(TempPath("hostproc.exe"));
  auto other = Sleeper(TempPath("hostproc2.exe"));
  SetHostProcessId(host->id());
  EXPECT_EQ(tool_->KillByName("kivrun_win32_tests"), 0);  // this very process
  EXPECT_EQ(tool_->KillByName("kivtest-hostproc"), 1);
  EXPECT_EQ(tool_->KillByName("kivtest-hostproc"), 0);
  SetHostProcessId(0);
  EXPECT_TRUE(other->Ended(2000));
  EXPECT_FALSE(host->Ended(200));
}

TEST_P(ProcessTools, ModuleUsersAreLoggedAndOnlyThoseInTheFamilyFolderEnded) {
  CreateDirectoryA((WindowsFolder() + "\\Vorna").c_str(), nullptr);
  CreateDirectoryA((WindowsFolder() + "\\VornaExtra").c_str(), nullptr);
  auto family = Sleeper(WindowsFolder() + "\\Vorna\\famuser.exe");
  auto prefixed = Sleeper(WindowsFolder() + "\\VornaExtra\\famuser.exe");
  auto other = Sleeper(TempPath("famuser.exe"));
  LogRecorder log;

  EXPECT_EQ(tool_->ReportModuleUsers(family->path().c_str(), false), 0);
  EXPECT_TRUE(log.Contains("Module: " + family->path() + " is used by Process: "));
  EXPECT_FALSE(family->Ended(200));

  // Tool-help process entries carry the full path on the 9x family but only the file name
  // on the NT family (and Wine): there the folder test cannot match and nothing is ended.
  const bool fullPaths = tool_->IsRunning(family->path().c_str());
  SetHostProcessId(family->id());  // the host is spared even in the family folder
  EXPECT_EQ(tool_->ReportModuleUsers(family->path().c_str(), true), 0);
  SetHostProcessId(0);
  EXPECT_FALSE(family->Ended(200));
  EXPECT_EQ(tool_->ReportModuleUsers(family->path().c_str(), true), fullPaths ? 1 : 0);
  EXPECT_EQ(family->Ended(fullPaths ? 2000 : 100), fullPaths);
  EXPECT_EQ(log.Contains("Process terminated: " + std::to_string(family->id()) + ", "), fullPaths);
  EXPECT_EQ(tool_->ReportModuleUsers(prefixed->path().c_str(), true), 0);  // VornaExtra is another folder
  EXPECT_FALSE(prefixed->Ended(200));
  EXPECT_EQ(tool_->ReportModuleUsers(other->path().c_str(), true), 0);
  EXPECT_FALSE(other->Ended(200));
  EXPECT_TRUE(log.Contains("Module: " + other->path() + " is used by Process: "));
}

TEST(LoadSystemLibrary, ALibraryBesideTheProgramIsNeverLoaded) {
  const std::string planted = ProgramFolder() + "kivplanted.dll";
  ASSERT_TRUE(CopyFileA((ProgramFolder() + "kivrun_hold_file.exe").c_str(), planted.c_str(), FALSE));
  EXPECT_EQ(LoadSystemLibrary("kivplanted.dll"), nullptr);
  DeleteFileA(planted.c_str());
  HMODULE psapi = LoadSystemLibrary("PsApi.dll");
  EXPECT_NE(psapi, nullptr);
  FreeLibrary(psapi);
}

INSTANTIATE_TEST_SUITE_P(BothFamilies, ProcessTools,
                         ::testing::Values(&CreatePsapiProcessTool, &CreateToolhelpProcessTool));

TEST(KillProcessById, AProcessWithAWindowIsAskedToClose) {
  Helper window("kivrun_show_window.exe", TempPath("closable.exe"), {"kivtest closable"});
  for (int i = 0; i < 100 && FindWindowA(nullptr, "kivtest closable") == nullptr; ++i) Sleep(50);
  ASSERT_NE(FindWindowA(nullptr, "kivtest closable"), nullptr) << "no window: is there a display?";
  EXPECT_EQ(KillProcessById(window.id(), "closable"), 1);
  EXPECT_TRUE(window.Ended(1000));
  EXPECT_EQ(window.ExitCode(), 7u);  // it closed itself: not terminated
}

TEST(KillProcessById, AProcessThatIgnoresTheCloseIsTerminatedAfterTenSeconds) {
  Helper window("kivrun_show_window.exe", TempPath("stubborn.exe"), {"kivtest stubborn", "ignore-close"});
  for (int i = 0; i < 100 && FindWindowA(nullptr, "kivtest stubborn") == nullptr; ++i) Sleep(50);
  ASSERT_NE(FindWindowA(nullptr, "kivtest stubborn"), nullptr);
  DWORD start = GetTickCount();
  EXPECT_EQ(KillProcessById(window.id(), "stubborn"), 1);
  EXPECT_GE(GetTickCount() - start, 9900u);
  EXPECT_TRUE(window.Ended(1000));
  EXPECT_EQ(window.ExitCode(), 0u);
}

TEST(KillProcessById, AProcessWithoutWindowsIsTerminatedAtOnce) {
  auto sleeper = Sleeper(TempPath("nowindow.exe"));
  LogRecorder log;
  DWORD start = GetTickCount();
  EXPECT_EQ(KillProcessById(sleeper->id(), "the sleeper"), 1);
  EXPECT_LT(GetTickCount() - start, 3000u);
  EXPECT_TRUE(log.Contains("Process terminated: " + std::to_string(sleeper->id()) + ", the sleeper\r\n"));
  EXPECT_EQ(KillProcessById(999999, "none"), 0);
}
