// Starting, closing, finding and ending programs, with the helper programs.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "command_test.h"
#include "engine/result_codes.h"
#include "win32/helper_process.h"

namespace {

using ProcessCommands = CommandTest;

bool WaitForWindow(const char* title) {
  for (int i = 0; i < 100; ++i) {
    if (FindWindowA(nullptr, title) != nullptr) return true;
    Sleep(50);
  }
  return false;
}

// A program with a window, started for the test and ended with it.
class WindowProgram {
 public:
  WindowProgram(const char* title, const char* mode = nullptr) {
    std::string program = ProgramFolder() + "kivrun_show_window.exe";
    std::string line = "\"" + program + "\" \"" + title + "\"" + (mode != nullptr ? std::string(" ") + mode : "");
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    if (CreateProcessA(program.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info_)) {
      CloseHandle(info_.hThread);
    }
    shown_ = WaitForWindow(title);
  }
  ~WindowProgram() {
    TerminateProcess(info_.hProcess, 99);
    WaitForSingleObject(info_.hProcess, 5000);
    CloseHandle(info_.hProcess);
  }
  bool shown() const { return shown_; }
  bool Ended(DWORD ms) const { return WaitForSingleObject(info_.hProcess, ms) == WAIT_OBJECT_0; }
  DWORD ExitCode() const {
    DWORD code = 0;
    GetExitCodeProcess(info_.hProcess, &code);
    return code;
  }

 private:
  PROCESS_INFORMATION info_ = {};
  bool shown_ = false;
};

}  // namespace

TEST_F(ProcessCommands, RunWaitWaitsForTheProgramAndRunDoesNot) {
  const std::string folder = ProgramFolder();
  DWORD start = GetTickCount();
  EXPECT_EQ(Run("SET P=" + folder + "kivrun_hold_file.exe\r\nRUNWAIT %%P%% sleep 1200\r\n"), kResultOk);
  EXPECT_GE(GetTickCount() - start, 1200u);
  EXPECT_TRUE(log_.Contains("Starting application..." + folder + "kivrun_hold_file.exe sleep 1200.\r\n"));

  start = GetTickCount();
  EXPECT_EQ(Run("RUNHIDE " + folder + "kivrun_hold_file.exe sleep 4000\r\n"), kResultOk);
  EXPECT_LT(GetTickCount() - start, 3000u);
  EXPECT_EQ(Run("KILLPROCESS kivrun_hold_file\r\n"), kResultOk);
}

TEST_F(ProcessCommands, CommandLinesAreFoundInTheWorkingFolderOrAlongTheSearchPath) {
  std::string folder = ProgramFolder();
  folder.pop_back();
  const std::string marker = "C:\\kivtest\\searched.txt";
  CreateDirectoryA("C:\\kivtest", nullptr);
  DeleteFileA(marker.c_str());
  EXPECT_EQ(Run("SETWORKDIR " + folder + "\r\nRUNWAIT kivrun_hold_file.exe sleep 10\r\n"
                "RUNWAIT <search_path>cmd.exe /c echo x > " + marker + "\r\n"),
            kResultOk);
  EXPECT_FALSE(log_.Contains("CreateProcess Error"));
  EXPECT_TRUE(GetFileAttributesA(marker.c_str()) != INVALID_FILE_ATTRIBUTES);
  DeleteFileA(marker.c_str());
}

TEST_F(ProcessCommands, AProgramInAWorkingFolderWithBlanksIsStartedByItsWholePath) {
  const std::string folder = "C:\\kivtest\\dir with blank", marker = "C:\\kivtest\\started.txt";
  CreateDirectoryA("C:\\kivtest", nullptr);
  CreateDirectoryA(folder.c_str(), nullptr);
  const std::string holder = ProgramFolder() + "kivrun_hold_file.exe";
  CopyFileA(holder.c_str(), (folder + "\\holder.exe").c_str(), FALSE);
  CopyFileA(holder.c_str(), "C:\\kivtest\\dir.exe", FALSE);  // what the unquoted path would start
  // In write mode the holder creates its file and, without its events, ends at once.
  for (const std::string program : {"holder.exe", "\"holder.exe\""}) {
    DeleteFileA(marker.c_str());
    EXPECT_EQ(Run("SETWORKDIR " + folder + "\r\nRUNWAIT " + program + " write " + marker + " x y\r\n"),
              kResultOk);
    EXPECT_NE(GetFileAttributesA(marker.c_str()), INVALID_FILE_ATTRIBUTES) << program;
  }
  DeleteFileA("C:\\kivtest\\dir.exe");
}

TEST_F(ProcessCommands, AnUndefinedVariableOrACutCommandLineFailsTheLineAndNothingIsDone) {
  for (const std::string text : {"RUN %%Nope%%.exe", "RUNWAIT x.exe %%Nope%%", "RUNHIDE %%Nope%%",
                                 "SHELLEXECUTE %%Nope%%", "KILLPROCESS %%Nope%%",
                                 "ISPROCESSRUNNING V=%%Nope%%"}) {
    EXPECT_EQ(Run(text + "\r\n"), kResultSymbolNotFound) << text;
    EXPECT_EQ(Var("V"), "<undefined>") << text;
  }
  EXPECT_EQ(Run("SETWORKDIR C:\\kivtest\r\nRUN " + std::string(250, 'n') + ".exe\r\n"), kResultNowhereToGetValue);
  EXPECT_FALSE(log_.Contains("Starting application"));
}

TEST_F(ProcessCommands, CloseAppLeavesAWindowOfKivrunItselfAlone) {
  HWND own = CreateWindowExA(0, "STATIC", "kivtest own window", WS_POPUP, 0, 0, 9, 9, nullptr, nullptr, nullptr,
                             nullptr);
  ASSERT_NE(own, nullptr);
  EXPECT_EQ(Run("CLOSEAPP kivtest own window\r\n"), kResultOk);  // before, it ended this process
  EXPECT_TRUE(IsWindow(own));
  EXPECT_TRUE(log_.Contains("Process not ended (Kivrun or its host): " + std::to_string(GetCurrentProcessId()) +
                            ", kivtest own window\r\n"));
  DestroyWindow(own);
}

TEST_F(ProcessCommands, AProgramThatCannotStartIsLoggedAndTheLineStillSucceeds) {
  EXPECT_EQ(Run("RUN C:\\no\\such\\program.exe\r\nRUN \"C:\\no such\\program.exe\" /x\r\nSHELLEXECUTE C:\\no\\such.txt\r\n"),
            kResultOk);
  EXPECT_TRUE(log_.Contains("CreateProcess Error: "));
}

TEST_F(ProcessCommands, CloseAppClosesTheWindowsApplicationAndWaitsForItToEnd) {
  WindowProgram program("kivtest closeapp");
  ASSERT_TRUE(program.shown()) << "no window: is there a display?";
  DWORD start = GetTickCount();
  EXPECT_EQ(Run("CLOSEAPP nothing here,kivtest closeapp\r\n"), kResultOk);
  DWORD elapsed = GetTickCount() - start;
  EXPECT_TRUE(program.Ended(0));
  EXPECT_EQ(program.ExitCode(), 7u);  // it destroyed its window and ended by itself
  EXPECT_GE(elapsed, 1900u);
  EXPECT_TRUE(log_.Contains("Closing application...kivtest closeapp.\r\n"));
  EXPECT_FALSE(log_.Contains("Closing application...nothing here."));
}

TEST_F(ProcessCommands, WaitForWindowCloseWaitsWholeSecondsUpToItsTime) {
  WindowProgram program("kivtest waiting", "ignore-close");
  ASSERT_TRUE(program.shown());
  DWORD start = GetTickCount();
  EXPECT_EQ(Run("WAITFORWINDOWCLOSE kivtest waiting, 2000\r\n"), kResultOk);
  DWORD elapsed = GetTickCount() - start;
  EXPECT_GE(elapsed, 1900u);
  EXPECT_LT(elapsed, 4500u);

  start = GetTickCount();
  EXPECT_EQ(Run("WAITFORWINDOWCLOSE kivtest waiting,0\r\n"), kResultOk);
  elapsed = GetTickCount() - start;
  EXPECT_GE(elapsed, 950u);
  EXPECT_LT(elapsed, 2500u);

  start = GetTickCount();
  EXPECT_EQ(Run("WAITFORWINDOWCLOSE no such window\r\n"), kResultOk);
  EXPECT_LT(GetTickCount() - start, 500u);
  EXPECT_EQ(Run("WAITFORWINDOWCLOSE ,1000\r\n"), kResultBadSwitch);
}

TEST_F(ProcessCommands, ProcessAndWindowTestsFindWhatRuns) {
  WindowProgram program("kivtest present");
  ASSERT_TRUE(program.shown());
  EXPECT_EQ(Run("SET N=show_window\r\nISPROCESSRUNNING A=KIVRUN_%%N%%\r\nISPROCESSRUNNING B = no-such-program\r\n"
                "ISAPPRUNNING C=kivtest present\r\nISAPPRUNNING D=KivrunTestWindow\r\nISAPPRUNNING E=kivtest absent\r\n"),
            kResultOk);
  EXPECT_EQ(Var("A"), "TRUE");
  EXPECT_EQ(Var("B"), "FALSE");
  EXPECT_EQ(Var("C"), "TRUE");
  EXPECT_EQ(Var("D"), "TRUE");  // by class
  EXPECT_EQ(Var("E"), "FALSE");

  EXPECT_EQ(Run("ISPROCESSRUNNING noequals\r\n"), kResultBadSwitch);
  EXPECT_EQ(Run("ISPROCESSRUNNING V= \r\n"), kResultBadSwitch);  // an empty name
  EXPECT_TRUE(log_.Contains("Error: Invalid switch or value supplied in command line parameters.\n"));
  EXPECT_EQ(Run("ISPROCESSRUNNING V=%%Undefined%%\r\n"), kResultSymbolNotFound);
  EXPECT_EQ(Run("ISAPPRUNNING noequals\r\n"), kResultNowhereToPutValue);
}

TEST_F(ProcessCommands, KillProcessEndsTheFirstMatchingProcessOnly) {
  const std::string program = ProgramFolder() + "kivrun_hold_file.exe";
  EXPECT_EQ(Run("RUN " + program + " sleep 30000\r\nRUN " + program + " sleep 30000\r\n"
                "KILLPROCESS KIVRUN_HOLD_FILE.EXE\r\nISPROCESSRUNNING Left=kivrun_hold_file\r\n"
                "KILLPROCESS kivrun_hold_file\r\nISPROCESSRUNNING None=kivrun_hold_file\r\n"),
            kResultOk);
  EXPECT_EQ(Var("Left"), "TRUE");
  EXPECT_EQ(Var("None"), "FALSE");
  EXPECT_TRUE(log_.Contains("Process terminated: "));  // no window: terminated, and named
  EXPECT_TRUE(log_.Contains(", " + program + "\r\n"));

  EXPECT_EQ(Run("KILLPROCESS  \r\n"), kResultBadSwitch);
}
