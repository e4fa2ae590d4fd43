// Kivrun never ends itself or its host (Parent=): the script goes on and the host hears the
// end of the run.
#include <gtest/gtest.h>

#include "e2e_support.h"

TEST(SparedProcesses, KillProcessOfKivrunOrItsHostEndsNeither) {
  // A stand-in for the host: a process without windows whose id goes to Parent=.
  const std::string host = WorkFolder() + "standinhost.exe";
  ASSERT_TRUE(CopyFileA((BinFolder() + "kivrun_hold_file.exe").c_str(), host.c_str(), FALSE));
  std::string commandLine = "\"" + host + "\" sleep 60000";
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  ASSERT_TRUE(CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info));

  const std::string script =
      WriteScript("spared.kiv", "[Main]\r\nKILLPROCESS standinhost\r\nKILLPROCESS Kivrun.exe\r\nPROGRESS 1,1,1,x\r\n");
  EXPECT_EQ(RunUnderHost({"--parent", std::to_string(info.dwProcessId)},
                         {"/Script=" + script, "/Section=Main", "/Log=" + FreshLog("spared")}),
            (std::vector<std::string>{"OnProgress(1, 1, 1, \"x\")", "OnComplete(0x00000000, \"\")", "exit 0"}));
  EXPECT_EQ(WaitForSingleObject(info.hProcess, 0), static_cast<DWORD>(WAIT_TIMEOUT));

  TerminateProcess(info.hProcess, 99);
  WaitForSingleObject(info.hProcess, 5000);
  CloseHandle(info.hProcess);
  CloseHandle(info.hThread);
  Remove(host);
}
