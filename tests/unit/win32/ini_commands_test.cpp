// The INI commands against real files in the working, Windows and other folders.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "command_test.h"
#include "engine/result_codes.h"
#include "win32/helper_process.h"

namespace {

const std::string kWork = "C:\\kivtest\\ini";
constexpr int kCannotWriteIni = 19;  // "Could not write to INI file."

std::string WindowsFile(const std::string& name) {
  char folder[MAX_PATH];
  GetWindowsDirectoryA(folder, sizeof(folder));
  return std::string(folder) + "\\" + name;
}

void Write(const std::string& path, const std::string& text) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
}

class IniCommands : public CommandTest {
 protected:
  void SetUp() override {
    CreateDirectoryA("C:\\kivtest", nullptr);
    CreateDirectoryA(kWork.c_str(), nullptr);
    Write(WindowsFile("kivtest.ini"), "[Settings]\r\nPath=from windows\r\nEmpty=\r\n");
  }
  void TearDown() override {
    DeleteFileA(WindowsFile("kivtest.ini").c_str());
    DeleteFileA((kWork + "\\kivtest.ini").c_str());
    DeleteFileA((kWork + "\\sections.ini").c_str());
    RemoveDirectoryA(kWork.c_str());
  }
  const std::string workDir_ = "SETWORKDIR " + kWork + "\r\n";
};

}  // namespace

TEST_F(IniCommands, GetIniFileValueLooksInTheWorkingFolderBeforeTheWindowsFolder) {
  EXPECT_EQ(Run("GETINIFILEVALUE V=kivtest.ini,Settings,Path\r\n"), kResultOk);
  EXPECT_EQ(Var("V"), "from windows");
  Write(kWork + "\\kivtest.ini", "[Settings]\r\nPath=from work\r\n");
  EXPECT_EQ(Run(workDir_ + "GETINIFILEVALUE V = kivtest.ini , settings , PATH\r\nGETINIFILEVALUE W=kivtest.ini,Settings,"
                           "Missing\r\n"),
            kResultOk);
  EXPECT_EQ(Var("V"), "from work");
  EXPECT_EQ(Var("W"), "");
}

TEST_F(IniCommands, GetIniFileValueSubstitutesTheWholeArgumentBeforeTheSplit) {
  EXPECT_EQ(Run("SET INI=kivtest.ini\r\nGETINIFILEVALUE V=%%INI%%,Settings,Path\r\n"
                "SET INI=kivtest.ini,Settings\r\nGETINIFILEVALUE W=%%INI%%,Path\r\n"),
            kResultOk);
  EXPECT_EQ(Var("V"), "from windows");
  EXPECT_EQ(Var("W"), "from windows");
  EXPECT_EQ(Run("GETINIFILEVALUE V=%%Nope%%,S,K\r\n"), kResultSymbolNotFound);
}

TEST_F(IniCommands, GetIniFileValueReportsItsSyntaxErrorsAndAMissingFile) {
  EXPECT_EQ(Run("GETINIFILEVALUE kivtest.ini\r\n"), kResultNowhereToPutValue);
  EXPECT_EQ(Run("GETINIFILEVALUE V=kivtest.ini\r\n"), kResultNoIniFile);
  EXPECT_EQ(Run("GETINIFILEVALUE V=kivtest.ini,Settings\r\n"), kResultNoIniSection);
  EXPECT_EQ(Run("GETINIFILEVALUE V=nowhere.ini,Settings,Path\r\n"), kResultIniNotFound);
  EXPECT_TRUE(log_.Contains("Error: INI file was not found.\n>>Line 2: GETINIFILEVALUE V=nowhere.ini,Settings,Path\r\n"));
}

TEST_F(IniCommands, SetIniFileValueWritesIntoAFoundFileAndNeverCreatesOne) {
  EXPECT_EQ(Run("SET V=a=b\r\nSETINIFILEVALUE kivtest.ini,Settings,Pair=%%V%%\r\n"
                "SETINIFILEVALUE kivtest.ini,New,Key=\r\n"),
            kResultOk);
  char value[64];
  GetPrivateProfileStringA("Settings", "Pair", "?", value, sizeof(value), WindowsFile("kivtest.ini").c_str());
  EXPECT_STREQ(value, "a=b");
  GetPrivateProfileStringA("New", "Key", "?", value, sizeof(value), WindowsFile("kivtest.ini").c_str());
  EXPECT_STREQ(value, "");

  // A missing file: 18 is reported and the stop flag set, yet the line gives 0.
  EXPECT_EQ(Run("SETINIFILEVALUE nowhere.ini,S,K=1\r\nSET After=1\r\nCALL Sub\r\n[Sub]\r\n"
                "SETINIFILEVALUE nowhere.ini,S,K=1\r\nSET InSub=1\r\n"),
            kResultOk);
  EXPECT_EQ(GetFileAttributesA(WindowsFile("nowhere.ini").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(log_.Contains("Error: INI file was not found.\n>>Line 2: SETINIFILEVALUE nowhere.ini,S,K=1\r\n"));
  EXPECT_EQ(Var("After"), "1");
  EXPECT_EQ(Var("InSub"), "<undefined>");

  EXPECT_EQ(Run("SETINIFILEVALUE kivtest.ini,Settings,NoEquals\r\n"), kResultNoValueToSet);
  EXPECT_EQ(Run("SETINIFILEVALUE kivtest.ini,Settings,K=%%Nope%%\r\n"), kResultSymbolNotFound);
}

// Read-only, or held open without write sharing: 19, and the file stays as it was.
TEST_F(IniCommands, SetIniFileValueReportsAFileItCannotWrite) {
  const std::string path = kWork + "\\kivtest.ini", text = "[Settings]\r\nPath=from work\r\n";
  const std::string line = workDir_ + "SETINIFILEVALUE kivtest.ini,Settings,Path=new\r\n";
  Write(path, text);
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(Run(line), kCannotWriteIni);
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  {
    FileHolder holder("write", path);
    ASSERT_TRUE(holder.Holding());
    EXPECT_EQ(Run(line), kCannotWriteIni);
  }
  EXPECT_EQ(ReadWholeFile(path), text);
  EXPECT_TRUE(log_.Contains("Error: Could not write to INI file.\n>>Line 3: SETINIFILEVALUE kivtest.ini,"));
}

TEST_F(IniCommands, FindIniFileValueCountsOnlyNonEmptyValuesAndNeverFails) {
  EXPECT_EQ(Run("FINDINIFILEVALUE A=kivtest.ini,Settings,Path\r\nFINDINIFILEVALUE B=kivtest.ini,Settings,Empty\r\n"
                "FINDINIFILEVALUE C=kivtest.ini,Settings,Missing\r\nFINDINIFILEVALUE D=nowhere.ini,S,K\r\n"
                "FINDINIFILEVALUE E=kivtest.ini\r\nFINDINIFILEVALUE noequals\r\n"),
            kResultOk);
  EXPECT_EQ(Var("A"), "TRUE");
  EXPECT_EQ(Var("B"), "FALSE");
  EXPECT_EQ(Var("C"), "FALSE");
  EXPECT_EQ(Var("D"), "FALSE");
  EXPECT_EQ(Var("E"), "FALSE");
  EXPECT_FALSE(log_.Contains("Error:"));
}

TEST_F(IniCommands, DeleteIniFileSectionKeepsTheHeaderAndNormalisesTheFile) {
  const std::string longLine = "c=" + std::string(5000, '3');  // kept whole, however long
  Write(kWork + "\\sections.ini", "[A]\na=1\n[old]\nb=2\n;c\n[B]\n   key = v\n" + longLine);
  EXPECT_EQ(Run(workDir_ + "DELETEINIFILESECTION sections.ini , Old\r\n"), kResultOk);
  EXPECT_EQ(ReadWholeFile(kWork + "\\sections.ini"), "[A]\r\na=1\r\n[old]\r\n[B]\r\nkey = v\r\n" + longLine + "\r\n");

  Write(kWork + "\\sections.ini", "");
  EXPECT_EQ(Run(workDir_ + "DELETEINIFILESECTION sections.ini,A\r\n"), kResultBadSwitch);
  EXPECT_EQ(Run(workDir_ + "DELETEINIFILESECTION sections.ini\r\n"), kResultBadSwitch);
  EXPECT_EQ(Run("DELETEINIFILESECTION nowhere.ini,A\r\n"), kResultOk);
  EXPECT_TRUE(log_.Contains("Error: INI file was not found.\n"));
}

// Not plain text (a byte-order mark, a NUL byte), or open elsewhere without FILE_SHARE_DELETE
// so that it cannot be replaced: 51, and the file stays byte for byte as it was.
TEST_F(IniCommands, DeleteIniFileSectionLeavesAFileItCannotRewriteAsItWas) {
  const std::string path = kWork + "\\sections.ini", lines = "[A]\na=1\n[old]\nb=2\n";
  for (const std::string& bytes : {"\xEF\xBB\xBF" + lines, std::string("\xFF\xFE[\0A\0]\0", 8), "\xFE\xFF" + lines,
                                   std::string("a=\0\n", 4) + lines, lines}) {
    Write(path, bytes);
    HANDLE held = bytes != lines ? INVALID_HANDLE_VALUE
                                 : CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_EQ(Run(workDir_ + "DELETEINIFILESECTION sections.ini,Old\r\n"), kResultBadSwitch);
    if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
    EXPECT_EQ(ReadWholeFile(path), bytes);
  }
  WIN32_FIND_DATAA found;
  EXPECT_EQ(FindFirstFileA((kWork + "\\*.tmp").c_str(), &found), INVALID_HANDLE_VALUE);  // no temporary file left
}

// A text the command acts on is used whole or not at all: 24 when it does not fit after
// substitution, 28 when it names an undefined variable; either way nothing changes.
TEST_F(IniCommands, TextsThatDoNotFitOrNameUndefinedVariablesChangeNothing) {
  Write(WindowsFile("kivtest.ini"), "[Settings]\nPath=from windows\n");  // a rewrite would add CR
  const std::string v = "SET V=" + std::string(200, 'v') + "\r\n";
  std::string longKey;
  for (int i = 0; i < 16; ++i) longKey += "%%V%%";
  const std::pair<std::string, int> cases[] = {
      {v + "SETINIFILEVALUE kivtest.ini,Settings,Path=%%V%%" + std::string(60, 'w'), kResultNowhereToGetValue},
      {v + "SETINIFILEVALUE %%V%%%%V%%,Settings,Path=1", kResultNowhereToGetValue},
      {"SETINIFILEVALUE kivtest.ini,Settings,Path=%%Nope%%", kResultSymbolNotFound},
      // 260 characters right after the keyword: the loader keeps them all, a 259-character copy would not.
      {"DELETEINIFILESECTION.\\kivtest.ini," + std::string(246, 'S'), kResultNowhereToGetValue},
      {"DELETEINIFILESECTION %%Nope%%,Settings", kResultSymbolNotFound},
      {v + "GETINIFILEVALUE R=kivtest.ini,Settings,Path" + longKey, kResultNowhereToGetValue},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.first);
    EXPECT_EQ(Run(c.first + "\r\n"), c.second);
    EXPECT_EQ(ReadWholeFile(WindowsFile("kivtest.ini")), "[Settings]\nPath=from windows\n");
    EXPECT_EQ(Var("R"), "<undefined>");
  }
}
