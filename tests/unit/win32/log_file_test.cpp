// The log file under Wine: where it lands, its cap, its fallback, and the module field.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <string>

#include "log/log.h"
#include "test_support.h"
#include "win32/helper_process.h"

namespace {

std::string WindowsFolder() {
  char folder[MAX_PATH] = "";
  GetWindowsDirectoryA(folder, sizeof(folder));
  return std::string(folder) + "\\";
}

std::string TempFolder() {
  char folder[MAX_PATH] = "";
  GetTempPathA(sizeof(folder), folder);
  return folder;
}

// Counts the lines of a log; every line ends in CR LF.
int LineCount(const std::string& text) {
  int count = 0;
  for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at + 2)) ++count;
  return count;
}

class LogFile : public ::testing::Test {
 protected:
  void TearDown() override { SetLogFile(kLogLevelStatus, ""); }
};

}  // namespace

TEST_F(LogFile, ANameWithoutBackslashLandsInTheWindowsFolder) {
  const std::string name = "kivtest-default.log";
  RemoveFile(WindowsFolder() + name);
  SetLogFile(kLogLevelStatus, name.c_str());
  LogStatus("Executing line %d: %s %s", 3, "SET", "A=1");
  std::string text = ReadWholeFile(WindowsFolder() + name);
  RemoveFile(WindowsFolder() + name);

  char pid[16];
  std::snprintf(pid, sizeof(pid), ":%03lx ", GetCurrentProcessId());
  EXPECT_NE(text.find(std::string(pid) + "Executing line 3: SET A=1\r\n"), std::string::npos) << text;
  ASSERT_GE(text.size(), 12u);
  EXPECT_EQ(text[2], '-');
  EXPECT_EQ(text[5], ' ');
  EXPECT_EQ(text[8], ':');
  EXPECT_EQ(LineCount(text), 1);
}

TEST_F(LogFile, APathWithABackslashIsUsedUnchangedAndLinesAreAppended) {
  const std::string path = TempPath("direct.log");
  RemoveFile(path);
  SetLogFile(kLogLevelStatus, path.c_str());
  LogStatus("first");
  LogError("Error: %s\n>>Line %u: %s", "Nowhere to put value.", 5u, "SET X");
  std::string text = ReadWholeFile(path);
  RemoveFile(path);
  EXPECT_NE(text.find(" first\r\n"), std::string::npos);
  EXPECT_NE(text.find(" Error: Nowhere to put value.\n>>Line 5: SET X\r\n"), std::string::npos);
  EXPECT_EQ(LineCount(text), 2);
}

TEST_F(LogFile, ALogOfExactlyTheCapIsAppendedToAndALargerOneEmptiedFirst) {
  const std::string path = TempPath("cap.log");
  SetLogFile(kLogLevelStatus, path.c_str());

  WriteTempFile("cap.log", std::string(kLogCapBytes, 'o'));
  LogStatus("appended");
  std::string atCap = ReadWholeFile(path);
  EXPECT_GT(atCap.size(), static_cast<size_t>(kLogCapBytes));
  EXPECT_EQ(atCap.compare(0, 4, "oooo"), 0);

  WriteTempFile("cap.log", std::string(kLogCapBytes + 1, 'o'));
  LogStatus("alone");
  std::string overCap = ReadWholeFile(path);
  RemoveFile(path);
  EXPECT_EQ(overCap.find("oooo"), std::string::npos);
  EXPECT_EQ(LineCount(overCap), 1);
  EXPECT_EQ(overCap.substr(overCap.size() - 7), "alone\r\n");
}

TEST_F(LogFile, AMissingFolderSendsTheLineToTheTemporaryFolder) {
  const std::string fallback = TempFolder() + "kivtest-nofolder.log";
  RemoveFile(fallback);
  SetLogFile(kLogLevelStatus, "C:\\no-such-folder-kivtest\\kivtest-nofolder.log");
  LogStatus("went to temp");
  std::string text = ReadWholeFile(fallback);
  RemoveFile(fallback);
  EXPECT_NE(text.find(" went to temp\r\n"), std::string::npos);
}

TEST_F(LogFile, ALogHeldByAnotherWriterSendsTheLineToTheTemporaryFolder) {
  const std::string folder = TempFolder() + "kivtest-held\\";
  CreateDirectoryA(folder.c_str(), nullptr);
  const std::string path = folder + "held.log";
  const std::string fallback = TempFolder() + "held.log";
  RemoveFile(path);
  RemoveFile(fallback);
  SetLogFile(kLogLevelStatus, path.c_str());
  {
    FileHolder holder("write", path);
    ASSERT_TRUE(holder.Holding());
    LogStatus("while held");
  }
  LogStatus("after release");
  std::string held = ReadWholeFile(path);
  std::string temp = ReadWholeFile(fallback);
  RemoveFile(path);
  RemoveFile(fallback);
  RemoveDirectoryA(folder.c_str());
  EXPECT_NE(temp.find(" while held\r\n"), std::string::npos);
  EXPECT_EQ(held.find("while held"), std::string::npos);
  EXPECT_NE(held.find(" after release\r\n"), std::string::npos);  // the next line tries the path again
}

TEST_F(LogFile, TheModuleFieldIsTheProgramNameCutAtItsFirstDot) {
  const std::string source = ProgramFolder() + "kivrun_log_line.exe";
  const std::string dotted = ProgramFolder() + "a.b.exe";
  const std::string longName = ProgramFolder() + "averylongname.exe";
  ASSERT_TRUE(CopyFileA(source.c_str(), dotted.c_str(), FALSE));
  ASSERT_TRUE(CopyFileA(source.c_str(), longName.c_str(), FALSE));
  const std::string path = TempPath("modules.log");
  RemoveFile(path);

  EXPECT_EQ(RunAndWait(dotted, {path, "from dotted"}), 0);
  EXPECT_EQ(RunAndWait(longName, {path, "from long"}), 0);
  std::string text = ReadWholeFile(path);
  RemoveFile(path);
  DeleteFileA(dotted.c_str());
  DeleteFileA(longName.c_str());

  EXPECT_NE(text.find("        a:"), std::string::npos) << text;
  EXPECT_NE(text.find(" averylongname:"), std::string::npos) << text;
}
