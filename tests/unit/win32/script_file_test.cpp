// Load failures that need the real file system.
#include <gtest/gtest.h>

#include "engine/loader.h"
#include "engine/result_codes.h"
#include "test_support.h"
#include "win32/helper_process.h"

// A kernel attribute file claims 4096 bytes and delivers a few: the read falls short.
TEST(LoadScriptOnWin32, AFileThatDeliversFewerBytesThanItsSizeGives11AndIsLogged) {
  LogRecorder log;
  const char* path = "Z:\\sys\\devices\\system\\cpu\\online";
  if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) GTEST_SKIP() << "no sysfs here";
  ScriptContext* context = nullptr;
  EXPECT_EQ(ScriptOpen(path, "Main", "", &context), kResultReadFailed);
  EXPECT_EQ(context, nullptr);
  EXPECT_TRUE(log.Contains(std::string("Error Loading Script File: ") + path + "\r\n"));
}

TEST(LoadScriptOnWin32, AFileHeldOpenForWritingCannotBeOpenedAndGives9) {
  const std::string path = WriteTempFile("held.kiv", "[Main]\r\nSET A=1\r\n");
  FileHolder holder("write", path);
  ASSERT_TRUE(holder.Holding());
  ScriptContext* context = nullptr;
  EXPECT_EQ(ScriptOpen(path.c_str(), "Main", "", &context), kResultCannotOpenFile);
}
