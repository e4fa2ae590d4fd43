// The system query commands, run as script lines.
#include <gtest/gtest.h>
#include <windows.h>

#include <ctime>
#include <string>

#include "command_test.h"
#include "engine/result_codes.h"
#include "kivrun_version.h"
#include "win32/helper_process.h"

namespace {
using SystemCommands = CommandTest;

std::string Environment(const char* name) {
  char value[8192] = "";
  GetEnvironmentVariableA(name, value, sizeof(value));
  return value;
}
}  // namespace

TEST_F(SystemCommands, SetWorkDirSubstitutesAndKeepsTheOldFolderOnFailure) {
  EXPECT_EQ(Run("SET INSTDIR=C:\\P\r\nSETWORKDIR  %%INSTDIR%%\\bin \r\nSETWORKDIR %%UNDEFINED%%\\x\r\n"),
            kResultSymbolNotFound);
  EXPECT_STREQ(context()->workDir, "C:\\P\\bin");
  EXPECT_TRUE(log_.Contains(">>Line 4: SETWORKDIR %%UNDEFINED%%\\x\r\n"));
}

TEST_F(SystemCommands, GetFileVersionReadsTheFileVersionWithOrWithoutQuotes) {
  const std::string kivrun = ProgramFolder() + "Kivrun.exe";
  const std::string plain = WriteTempFile("noversion.txt", "text");
  EXPECT_EQ(Run("SET EXE=" + kivrun + "\r\nGETFILEVERSION A=%%EXE%%\r\nGETFILEVERSION B = \"" + kivrun +
                "\"\r\nGETFILEVERSION C=" + plain + "\r\nGETFILEVERSION D=C:\\no\\such.exe\r\n"),
            kResultOk);
  EXPECT_EQ(Var("A"), KIVRUN_VERSION_TEXT ".0");
  EXPECT_EQ(Var("B"), KIVRUN_VERSION_TEXT ".0");
  EXPECT_EQ(Var("C"), "0");
  EXPECT_EQ(Var("D"), "0");
  EXPECT_EQ(Run("GETFILEVERSION V\r\n"), kResultNoFileVersion);
  EXPECT_TRUE(log_.Contains("Error: Unable to determine the version information of the specified file.\n"));
}

TEST_F(SystemCommands, KivrunExeCarriesTheReleaseVersionInItsResource) {
  const std::string kivrun = ProgramFolder() + "Kivrun.exe";
  DWORD handle = 0;
  std::string block(GetFileVersionInfoSizeA(kivrun.c_str(), &handle), '\0');
  ASSERT_FALSE(block.empty());
  ASSERT_TRUE(GetFileVersionInfoA(kivrun.c_str(), 0, static_cast<DWORD>(block.size()), &block[0]));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
  const DWORD high = MAKELONG(KIVRUN_VERSION_MINOR, KIVRUN_VERSION_MAJOR);
  const DWORD low = MAKELONG(0, KIVRUN_VERSION_PATCH);
  EXPECT_EQ(fixed->dwFileVersionMS, high);
  EXPECT_EQ(fixed->dwFileVersionLS, low);
  EXPECT_EQ(fixed->dwProductVersionMS, high);
  EXPECT_EQ(fixed->dwProductVersionLS, low);
  for (const char* name : {"FileVersion", "ProductVersion"}) {
    char* text = nullptr;
    const std::string path = std::string("\\StringFileInfo\\040904B0\\") + name;
    ASSERT_TRUE(VerQueryValueA(block.data(), path.c_str(), reinterpret_cast<void**>(&text), &length)) << name;
    EXPECT_STREQ(text, KIVRUN_VERSION_TEXT) << name;
  }
}

TEST_F(SystemCommands, TheWindowsQueriesStoreTheirWords) {
  EXPECT_EQ(Run("GETOSTYPE T\r\nGETOSVERSION V\r\nGETWINDOWSDIR W\r\nGETPROCESSORTYPE P\r\nISADMIN A\r\n"
                "GETKIVRUNVERSION K\r\n"),
            kResultOk);
  OSVERSIONINFOA version = {};
  version.dwOSVersionInfoSize = sizeof(version);
  GetVersionExA(&version);
  char expected[32];
  snprintf(expected, sizeof(expected), "%d.%02d", static_cast<int>(version.dwMajorVersion),
           static_cast<int>(version.dwMinorVersion));
  EXPECT_EQ(Var("V"), expected);
  EXPECT_TRUE(Var("T") == "WIN32_NTW" || Var("T") == "WIN32_NTS") << Var("T");
  char windows[MAX_PATH];
  GetWindowsDirectoryA(windows, sizeof(windows));
  EXPECT_EQ(Var("W"), windows);
  EXPECT_EQ(Var("P").rfind("PROCESSOR_", 0), 0u);
  EXPECT_EQ(Var("A"), "TRUE");  // the tests run with every right
  EXPECT_EQ(Var("K"), "1.3");  // the script language's level, not the release in VERSION
  EXPECT_EQ(Run("ISADMIN\r\n"), kResultBadSwitch);
}

TEST_F(SystemCommands, StripFileNameCutsTheLastComponent) {
  EXPECT_EQ(Run("SET P=C:\\a\\b.txt\r\nSTRIPFILENAME P\r\nSET Once=%%P%%\r\nSTRIPFILENAME P\r\n"
                "SET N=name.txt\r\nSTRIPFILENAME N\r\n"),
            kResultOk);
  EXPECT_EQ(Var("Once"), "C:\\a");
  EXPECT_EQ(Var("P"), "C:");
  EXPECT_EQ(Var("N"), "name.txt");
  EXPECT_EQ(Run("STRIPFILENAME Missing\r\n"), kResultSymbolNotFound);
}

TEST_F(SystemCommands, WaitForTimeWaitsForANumberOrAVariablesValue) {
  DWORD start = GetTickCount();
  EXPECT_EQ(Run("SET D=200\r\nWAITFORTIME D\r\n"), kResultOk);
  DWORD elapsed = GetTickCount() - start;
  EXPECT_GE(elapsed, 190u);
  EXPECT_LT(elapsed, 3000u);

  start = GetTickCount();
  EXPECT_EQ(Run("WAITFORTIME abc\r\nWAITFORTIME -5\r\nWAITFORTIME %%D%%\r\n"), kResultOk);
  EXPECT_LT(GetTickCount() - start, 150u);
}

TEST_F(SystemCommands, ExtendPathPutsTheFolderInFrontOfPath) {
  const std::string before = Environment("PATH");
  EXPECT_EQ(Run("SET T=C:\\Tools\r\nEXTENDPATH %%T%%\r\n"), kResultOk);
  EXPECT_EQ(Environment("PATH"), "C:\\Tools;" + before);
  EXPECT_TRUE(log_.Contains("Path Is: C:\\Tools;" + before.substr(0, 40)));

  // A PATH longer than any fixed buffer is kept whole behind the new folder.
  const std::string longPath(9000, 'p');
  SetEnvironmentVariableA("PATH", longPath.c_str());
  EXPECT_EQ(Run("EXTENDPATH C:\\Long\r\n"), kResultOk);
  std::string after(12000, '\0');
  after.resize(GetEnvironmentVariableA("PATH", &after[0], static_cast<DWORD>(after.size())));
  SetEnvironmentVariableA("PATH", before.c_str());
  EXPECT_EQ(after, "C:\\Long;" + longPath);
}

TEST_F(SystemCommands, GetTimeStampGivesLocalOrUniversalTime) {
  std::time_t before = std::time(nullptr);
  EXPECT_EQ(Run("GETTIMESTAMP L\r\nGETTIMESTAMP U = gmt\r\nGETTIMESTAMP O=UTC\r\n"), kResultOk);
  auto stamp = [](const std::tm* t) {
    char text[32];
    snprintf(text, sizeof(text), "%04d%02d%02d%02d", t->tm_year + 1900, t->tm_mon + 1, t->tm_mday, t->tm_hour);
    return std::string(text);
  };
  EXPECT_EQ(Var("L").size(), 14u);
  EXPECT_EQ(Var("L").substr(0, 10), stamp(std::localtime(&before)));
  EXPECT_EQ(Var("U").substr(0, 10), stamp(std::gmtime(&before)));
  EXPECT_EQ(Var("O").substr(0, 10), stamp(std::localtime(&before)));
}
