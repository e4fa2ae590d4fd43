// Kivrun.exe's command line and exit codes, end to end.
#include <gtest/gtest.h>

#include <thread>

#include "e2e_support.h"

namespace {

const char kUsageCaption[] = "Kivrun usage Error";
const char kUsageText[] = "Usage:\nKivrun /Script=C:\\MyTest.Kiv /Log=kivrun.log";

bool HaveDisplay() { return GetEnvironmentVariableA("DISPLAY", nullptr, 0) > 0; }

// Runs Kivrun expecting the usage box: closes it and gives the exit code and its text.
DWORD RunExpectingUsage(const std::vector<std::string>& arguments, std::string* text, bool* shown) {
  DWORD code = 0;
  std::thread run([&] { code = RunKivrun(arguments); });
  *shown = CloseMessageBox(kUsageCaption, text);
  run.join();
  return code;
}

}  // namespace

TEST(Startup, AScriptThatRunsToItsEndExitsWith0AndLogsTheRun) {
  std::string log = FreshLog("clean");
  std::string script = WriteScript("clean.kiv", "[Main]\r\nSET A=1\r\n");
  EXPECT_EQ(RunKivrun({"/Script=" + script, "/Section=Main", "/Log=" + log}), 0u);
  std::string text = ReadText(log);
  EXPECT_TRUE(Contains(text, " Command Line: ")) << text;
  EXPECT_TRUE(Contains(text, " Before CoInitialize\r\n"));
  EXPECT_TRUE(Contains(text, " After CoInitialize\r\n"));
  EXPECT_TRUE(Contains(text, " ScriptFiles=" + script + ", StartSection=Main\r\n"));
  EXPECT_TRUE(Contains(text, " Script finished successfully!!\r\n"));
  EXPECT_TRUE(Contains(text, "   Kivrun:"));  // the module field
}

TEST(Startup, TheExitCodeIsTheScriptsResultCode) {
  std::string missing = WorkFolder() + "nosuch.kiv";
  EXPECT_EQ(RunKivrun({"/Script=" + missing, "/Section=Main", "/Log=" + FreshLog("codes")}), 9u);
  std::string noDefault = WriteScript("nodefault.kiv", "[Main]\r\nSET A=1\r\n");
  EXPECT_EQ(RunKivrun({"/Script=" + noDefault, "/Log=" + FreshLog("codes")}), 7u);
  std::string failing = WriteScript("failing.kiv", "[Main]\r\nSET X\r\n");
  EXPECT_EQ(RunKivrun({"/Script=" + failing, "/Section=Main", "/Log=" + FreshLog("codes")}), 23u);
  std::string stop = WriteScript("stop.kiv", "[DefaultInstall]\r\nCONTINUEIF 1=2\r\nSET X\r\n");
  EXPECT_EQ(RunKivrun({"/Script=" + stop, "/Log=" + FreshLog("codes")}), 0u);
}

TEST(Startup, ABareScriptNameIsFoundInTheProgramsFolder) {
  std::string log = FreshLog("bare");
  std::string script = WriteScript(BinFolder() + "bare.kiv", "[Main]\r\nSET A=1\r\n");
  EXPECT_EQ(RunKivrun({"/Script=bare.kiv", "/Section=Main", "/Log=" + log}), 0u);
  Remove(script);
  std::string folder = BinFolder();
  folder.pop_back();
  EXPECT_TRUE(Contains(ReadText(log), "ScriptFiles=" + folder + "\\bare.kiv, StartSection=Main")) << ReadText(log);
}

TEST(Startup, PathsWithADashAreTakenWhole) {
  // A "-" inside a value is part of it; one after a blank begins the next word.
  std::string log = FreshLog("dash-run");
  std::string script = WriteScript("up-date.kiv", "[Main]\r\nSET A=whole\r\n");
  EXPECT_EQ(RunKivrun({"/Script=" + script, "-Section=Main", "/Log=" + log}), 0u);
  EXPECT_TRUE(Contains(ReadText(log), "ScriptFiles=" + script + ", StartSection=Main")) << ReadText(log);
}

TEST(Startup, OptionNamesMatchInAnyCaseButLogOnlyAsWritten) {
  std::string script = WriteScript("anycase.kiv", "[Main]\r\nSET A=1\r\n");
  std::string log = FreshLog("anycase");
  EXPECT_EQ(RunKivrun({"/script=" + script, "/SECTION=Main", "/Log=" + log}), 0u);
  EXPECT_TRUE(Contains(ReadText(log), "Script finished successfully!!"));

  // /log= is no log option: the line goes to the default log in the Windows folder.
  char windows[MAX_PATH];
  GetWindowsDirectoryA(windows, sizeof(windows));
  std::string defaultLog = std::string(windows) + "\\vornagent.log";
  Remove(defaultLog);
  std::string ignored = FreshLog("lowercase");
  EXPECT_EQ(RunKivrun({"/Script=" + script, "/Section=Main", "/log=" + ignored}), 0u);
  EXPECT_EQ(GetFileAttributesA(ignored.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(Contains(ReadText(defaultLog), "/log=" + ignored));
}

TEST(Startup, WithoutAScriptTheUsageBoxIsShownAndTheExitCodeIs56) {
  if (!HaveDisplay()) GTEST_SKIP() << "needs a display (the test command runs under Xvfb)";
  std::string text;
  bool shown = false;
  EXPECT_EQ(RunExpectingUsage({"/Section=Main", "/Log=" + FreshLog("usage")}, &text, &shown), 56u);
  EXPECT_TRUE(shown);
  EXPECT_EQ(text, kUsageText);

  // RegServer counts only as the last word: here it is passed over and nothing registers.
  shown = false;
  EXPECT_EQ(RunExpectingUsage({"/RegServer", "/Log=" + FreshLog("usage")}, &text, &shown), 56u);
  EXPECT_TRUE(shown);
}

TEST(Startup, AScriptPathTooLongToJoinRunsNothingAndGives9) {
  std::string log = FreshLog("toolong");
  EXPECT_EQ(RunKivrun({"/Script=" + std::string(250, 'n') + ".kiv", "/Section=Main", "/Log=" + log}), 9u);
  EXPECT_TRUE(Contains(ReadText(log), "Error Loading Script File: "));
  EXPECT_FALSE(Contains(ReadText(log), "Executing : ExecuteScript()"));
}

TEST(Startup, AnEndedParentEndsKivrunAtOnceWithMinusOne) {
  // A process that has ended but whose handle is still held can still be opened.
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION parent = {};
  std::string helper = BinFolder() + "kivrun_hold_file.exe";
  std::string line = "\"" + helper + "\"";
  ASSERT_TRUE(CreateProcessA(helper.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &parent));
  WaitForSingleObject(parent.hProcess, 10000);  // it ends at once for want of arguments

  std::string script = "[Main]\r\n";
  for (int i = 0; i < 20000; ++i) script += "SET A=" + std::to_string(i) + "\r\n";
  std::string log = FreshLog("parent");
  DWORD code = RunKivrun({"/Parent=" + std::to_string(parent.dwProcessId), "/Script=" + WriteScript("long.kiv", script),
                          "/Section=Main", "/Log=" + log});
  CloseHandle(parent.hThread);
  CloseHandle(parent.hProcess);
  EXPECT_EQ(code, 0xFFFFFFFFu);
  EXPECT_FALSE(Contains(ReadText(log), "Script finished successfully!!"));

  // A process id that cannot be opened is passed over.
  std::string shortScript = WriteScript("short.kiv", "[Main]\r\nSET A=1\r\n");
  EXPECT_EQ(RunKivrun({"/Parent=999999", "/Script=" + shortScript, "/Section=Main", "/Log=" + log}), 0u);
}

TEST(Startup, AParentThatEndsDuringTheRunEndsKivrunAtOnceWithMinusOne) {
  // The parent: a helper holding a file until it is told to let go.
  HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, "kivtest-parent-ready");
  HANDLE release = CreateEventA(nullptr, TRUE, FALSE, "kivtest-parent-release");
  std::string helper = BinFolder() + "kivrun_hold_file.exe";
  std::string line = "\"" + helper + "\" write " + WorkFolder() + "parent.lock kivtest-parent-ready kivtest-parent-release";
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION parent = {};
  ASSERT_TRUE(CreateProcessA(helper.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &parent));
  ASSERT_EQ(WaitForSingleObject(ready, 10000), WAIT_OBJECT_0);

  std::string script = "[Main]\r\n";
  for (int i = 0; i < 20000; ++i) script += "SET A=" + std::to_string(i) + "\r\n";
  std::string path = WriteScript("parentrun.kiv", script);
  std::string log = FreshLog("parentrun");
  DWORD code = 0;
  std::thread run([&] {
    code = RunKivrun({"/Parent=" + std::to_string(parent.dwProcessId), "/Script=" + path, "/Section=Main", "/Log=" + log});
  });
  // Let the parent go once the script is running.
  for (int waited = 0; waited < 20000 && !Contains(ReadText(log), "Executing line"); waited += 20) Sleep(20);
  SetEvent(release);
  run.join();
  EXPECT_EQ(code, 0xFFFFFFFFu);
  EXPECT_TRUE(Contains(ReadText(log), "Executing line"));  // it had started
  EXPECT_FALSE(Contains(ReadText(log), "Script finished successfully!!"));
  CloseHandle(parent.hThread);
  CloseHandle(parent.hProcess);
  CloseHandle(ready);
  CloseHandle(release);
}

// The main thread's stack holds the deepest nesting allowed: a runaway recursion ends with
// result 1 at the bound instead of crashing the process.
TEST(Startup, ARunawayRecursionEndsWith1) {
  std::string script = WriteScript("runaway.kiv", "[Main]\r\nCALL Again\r\n[Again]\r\nSET Depth=x\r\nCALL Again\r\n");
  std::string log = FreshLog("runaway");
  EXPECT_EQ(RunKivrun({"/Script=" + script, "/Section=Main", "/Log=" + log}), 1u);
  EXPECT_TRUE(Contains(ReadText(log), "Section nesting deeper than 10000 at line 5\r\n"));
}
