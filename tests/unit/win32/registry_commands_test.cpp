// The registry commands, run as script lines against a key of the tests' own.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "command_test.h"
#include "engine/result_codes.h"

namespace {

const char kBase[] = "Software\\KivrunRegTest";
const std::string kKey = "HKCU\\Software\\KivrunRegTest";

class RegistryCommands : public CommandTest {
 protected:
  void SetUp() override {
    RegDeleteTreeA(HKEY_CURRENT_USER, kBase);
    HKEY key = nullptr;
    RegCreateKeyA(HKEY_CURRENT_USER, kBase, &key);
    RegCloseKey(key);
  }
  void TearDown() override { RegDeleteTreeA(HKEY_CURRENT_USER, kBase); }

  static void Put(const char* subkey, const char* name, DWORD type, const void* data, DWORD size) {
    HKEY key = nullptr;
    RegCreateKeyA(HKEY_CURRENT_USER, (std::string(kBase) + subkey).c_str(), &key);
    RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
  }
  static void PutText(const char* subkey, const char* name, const char* text) {
    Put(subkey, name, REG_SZ, text, static_cast<DWORD>(strlen(text) + 1));
  }
  static void PutNumber(const char* subkey, const char* name, DWORD number) {
    Put(subkey, name, REG_DWORD, &number, sizeof(number));
  }
  static bool Exists(const std::string& subkey) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, (std::string(kBase) + subkey).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
      return false;
    }
    RegCloseKey(key);
    return true;
  }
  // The value as "type:data" (numbers in decimal), or "<none>".
  static std::string Read(const char* subkey, const char* name) {
    BYTE data[300] = {};
    DWORD size = sizeof(data), type = 0;
    if (RegGetValueA(HKEY_CURRENT_USER, (std::string(kBase) + subkey).c_str(), name, RRF_RT_ANY | RRF_NOEXPAND,
                     &type, data, &size) != ERROR_SUCCESS) {
      return "<none>";
    }
    if (type == REG_DWORD) return "dword:" + std::to_string(*reinterpret_cast<DWORD*>(data));
    return "sz:" + std::string(reinterpret_cast<char*>(data));
  }
};

}  // namespace

TEST_F(RegistryCommands, OnlyTheFiveUpperCaseRootPrefixesAreKeys) {
  EXPECT_EQ(Run("FINDREGKEY V=HKLM\\\r\n"), kResultOk);
  EXPECT_EQ(Var("V"), "TRUE");
  EXPECT_EQ(Run("FINDREGKEY V=HKCU\\Software\r\nFINDREGKEY W=HKCU\\Software\\KivrunRegTest\\Missing\r\n"), kResultOk);
  EXPECT_EQ(Var("V"), "TRUE");
  EXPECT_EQ(Var("W"), "FALSE");
  EXPECT_EQ(Run("FINDREGKEY V=hklm\\Software\r\n"), kResultNoRegistryRoot);
  EXPECT_TRUE(log_.Contains("Error: The HKEY Root was not specified.\n>>Line 2: FINDREGKEY V=hklm\\Software\r\n"));
  EXPECT_EQ(Run("GETREGVALUE V=HKLM,x\r\n"), kResultNoRegistryRoot);
  EXPECT_EQ(Run("GETREGVALUE V=HKEY_LOCAL_MACHINE\\Software,x\r\n"), kResultNoRegistryRoot);
  EXPECT_EQ(Run("DELETEREGKEY hklm\\Software\\X\r\n"), kResultBadSwitch);
  EXPECT_EQ(Run("DELETEEMPTYREGKEY HKLM\r\n"), kResultBadSwitch);
}

TEST_F(RegistryCommands, SetRegValueWritesStringsAndNumbersByTheirPrefix) {
  const std::string set = "SETREGVALUE " + kKey;
  EXPECT_EQ(Run(set + ",Count=/reg_dword:12\r\n" + set + ",Zero=/REG_DWORD:abc\r\n" + set + ",Path=C:\\Temp\r\n" +
                set + ",Typed=/REG_SZ:C:\\Temp\r\n" + set + ",Blank=/REG_SZ: A\r\n" + set + ",=abc\r\n" + set +
                ",Neg=/REG_DWORD: -1\r\n"),
            kResultOk);
  EXPECT_EQ(Read("", "Count"), "dword:12");
  EXPECT_EQ(Read("", "Zero"), "dword:0");
  EXPECT_EQ(Read("", "Path"), "sz:C:\\Temp");
  EXPECT_EQ(Read("", "Typed"), "sz:C:\\Temp");
  EXPECT_EQ(Read("", "Blank"), "sz: A");
  EXPECT_EQ(Read("", nullptr), "sz:abc");
  EXPECT_EQ(Read("", "Neg"), "dword:4294967295");
}

TEST_F(RegistryCommands, SetRegValueSubstitutesOnlyTheData) {
  HKEY literal = nullptr;
  RegCreateKeyA(HKEY_CURRENT_USER, (std::string(kBase) + "\\%%PRODUCT%%").c_str(), &literal);
  RegCloseKey(literal);
  EXPECT_EQ(Run("SET DIR=C:\\P\r\nSET PRODUCT=Other\r\nSETREGVALUE " + kKey + ",V=%%DIR%%\\bin\r\n" +
                "SETREGVALUE " + kKey + "\\%%PRODUCT%%,%%DIR%%=1\r\n"),
            kResultOk);
  EXPECT_EQ(Read("", "V"), "sz:C:\\P\\bin");
  EXPECT_EQ(Read("\\%%PRODUCT%%", "%%DIR%%"), "sz:1");
}

TEST_F(RegistryCommands, SetRegValueNeverCreatesAKey) {
  EXPECT_EQ(Run("SETREGVALUE " + kKey + "\\Missing,V=1\r\n"), kResultCannotOpenRegistryKey);
  EXPECT_FALSE(Exists("\\Missing"));
  EXPECT_TRUE(log_.Contains("Error: Can't open the specified registry Not enough rights or key does not exist.\n"));
  EXPECT_EQ(Run("SETREGVALUE " + kKey + "\r\n"), kResultNoSubkey);
  EXPECT_EQ(Run("SETREGVALUE " + kKey + ",NoEquals\r\n"), kResultNoValueName);
}

TEST_F(RegistryCommands, GetRegValueReadsValuesAsText) {
  PutNumber("", "Count", 300);
  PutNumber("", "Max", 0xFFFFFFFF);
  PutText("", "Name", "Vorna Scan");
  Put("", "Expand", REG_EXPAND_SZ, "%SystemRoot%\\x", 15);
  Put("", "Multi", REG_MULTI_SZ, "one\0two\0", 9);
  std::string get = "GETREGVALUE ";
  EXPECT_EQ(Run(get + "A=" + kKey + ",Count\r\n" + get + "B=" + kKey + ",Max\r\n" + get + "C=" + kKey + ", Name \r\n" +
                get + "D=" + kKey + ",Expand\r\n" + get + "E=" + kKey + ",Multi\r\n" + get + "F=" + kKey +
                ",Missing\r\n" + get + "G=" + kKey + "\\Missing,Count\r\n"),
            kResultOk);
  EXPECT_EQ(Var("A"), "300");
  EXPECT_EQ(Var("B"), "-1");
  EXPECT_EQ(Var("C"), "Vorna Scan");
  EXPECT_EQ(Var("D"), "%SystemRoot%\\x");
  EXPECT_EQ(Var("E"), "one");
  EXPECT_EQ(Var("F"), "");
  EXPECT_EQ(Var("G"), "");
}

TEST_F(RegistryCommands, GetRegValueReportsItsSyntaxErrors) {
  EXPECT_EQ(Run("GETREGVALUE V\r\n"), kResultNowhereToPutValue);
  EXPECT_EQ(Run("GETREGVALUE V=" + kKey + "\r\n"), kResultNoSubkey);
  EXPECT_TRUE(log_.Contains("Error: Unable to find specified subkey.\n>>Line 2: GETREGVALUE V=" + kKey + "\r\n"));
}

TEST_F(RegistryCommands, AValueTooLongToReadIsThereButIsNeverStoredCut) {
  std::string long259(259, 'x');
  PutText("", "Fits", long259.c_str());
  std::string long260(260, 'y');
  PutText("", "TooLong", long260.c_str());
  EXPECT_EQ(Run("GETREGVALUE A=" + kKey + ",Fits\r\nFINDREGVALUE C=" + kKey + ",TooLong\r\n"), kResultOk);
  EXPECT_EQ(Var("A"), long259);
  EXPECT_EQ(Var("C"), "TRUE");
  EXPECT_EQ(Run("SET B=old\r\nGETREGVALUE B=" + kKey + ",TooLong\r\n"), kResultInvalidRegistryValue);
  EXPECT_TRUE(log_.Contains("Error: Invalid registry value.\n"));
  EXPECT_EQ(Var("B"), "old");
}

TEST_F(RegistryCommands, FindRegValueCountsAnEmptyStringAsMissing) {
  PutText("", "Empty", "");
  PutNumber("", "Zero", 0);
  PutText("", "Name", "x");
  EXPECT_EQ(Run("FINDREGVALUE A=" + kKey + ",Empty\r\nFINDREGVALUE B=" + kKey + ",Zero\r\nFINDREGVALUE C=" + kKey +
                ",Name\r\nFINDREGVALUE D=" + kKey + ",Missing\r\nFINDREGVALUE E=" + kKey + "\\Missing,Name\r\n"),
            kResultOk);
  EXPECT_EQ(Var("A"), "FALSE");
  EXPECT_EQ(Var("B"), "TRUE");
  EXPECT_EQ(Var("C"), "TRUE");
  EXPECT_EQ(Var("D"), "FALSE");
  EXPECT_EQ(Var("E"), "FALSE");
}

TEST_F(RegistryCommands, FindRegValueReturnsItsSyntaxErrorsUnreported) {
  EXPECT_EQ(Run("FINDREGVALUE V=" + kKey + "\r\nSET After=1\r\n"), kResultNoSubkey);
  EXPECT_EQ(Var("After"), "<undefined>");
  EXPECT_FALSE(log_.Contains("Error:"));
}

TEST_F(RegistryCommands, IsRegKeyEmptyLooksOnlyAtSubkeys) {
  PutText("\\Values", "v", "1");
  PutText("\\Parent\\Child", "v", "1");
  EXPECT_EQ(Run("ISREGKEYEMPTY A=" + kKey + "\\Values\r\nISREGKEYEMPTY B=" + kKey + "\\Missing\r\nISREGKEYEMPTY C = " +
                kKey + "\\Parent \r\n"),
            kResultOk);
  EXPECT_EQ(Var("A"), "TRUE");
  EXPECT_EQ(Var("B"), "TRUE");
  EXPECT_EQ(Var("C"), "FALSE");
  EXPECT_EQ(Run("ISREGKEYEMPTY " + kKey + "\r\n"), kResultBadSwitch);
  EXPECT_EQ(Run("ISREGKEYEMPTY V=Software\r\n"), kResultNoRegistryRoot);
}

TEST_F(RegistryCommands, CreateRegKeyCreatesUnderAnExistingParentOnly) {
  EXPECT_EQ(Run("CREATEREGKEY " + kKey + ", Vorna\\Sub \r\nCREATEREGKEY " + kKey + "\\Missing,New\r\nCREATEREGKEY " +
                kKey + ",Vorna,ignored\r\n"),
            kResultOk);
  EXPECT_TRUE(Exists("\\Vorna\\Sub"));
  EXPECT_FALSE(Exists("\\Missing"));
  EXPECT_FALSE(Exists("\\ignored"));
  EXPECT_EQ(Run("CREATEREGKEY " + kKey + "\r\n"), kResultBadSwitch);
  EXPECT_EQ(Run("CREATEREGKEY Software,X\r\n"), kResultNoRegistryRoot);
}

TEST_F(RegistryCommands, DeleteRegValueSubstitutesTheNameAndNeedsAComma) {
  PutText("", "Old1", "x");
  PutText("", "Keep", "x");
  EXPECT_EQ(Run("SET N=1\r\nDELETEREGVALUE " + kKey + " , Old%%N%% \r\nDELETEREGVALUE " + kKey + ",Missing\r\n" +
                "DELETEREGVALUE " + kKey + "\\NoKey,Keep\r\n"),
            kResultOk);
  EXPECT_EQ(Read("", "Old1"), "<none>");
  EXPECT_EQ(Read("", "Keep"), "sz:x");
  EXPECT_EQ(Run("DELETEREGVALUE " + kKey + ",%%U%%\r\n"), kResultSymbolNotFound);
  EXPECT_EQ(Read("", "Keep"), "sz:x");
  EXPECT_EQ(Run("DELETEREGVALUE " + kKey + "\r\n"), kResultBadSwitch);
}

TEST_F(RegistryCommands, DeleteCommandsRemoveKeysAsFarAsTheyMay) {
  PutText("\\Full", "v", "1");
  PutText("\\Tree\\A\\B", "v", "1");
  PutText("\\Tree", "w", "2");
  HKEY key = nullptr;
  RegCreateKeyA(HKEY_CURRENT_USER, (std::string(kBase) + "\\Empty").c_str(), &key);
  RegCloseKey(key);
  RegCreateKeyA(HKEY_CURRENT_USER, (std::string(kBase) + "\\Plain").c_str(), &key);
  RegCloseKey(key);
  EXPECT_EQ(Run("DELETEEMPTYREGKEY " + kKey + "\\Full\r\nDELETEEMPTYREGKEY " + kKey + "\\Empty\r\n" +
                "DELETEREGKEY " + kKey + "\\Plain\r\nDELETEREGKEYRECURSIVE " + kKey + "\\Tree\r\n" +
                "DELETEREGKEYRECURSIVE " + kKey + "\\Missing\r\nDELETEREGKEY " + kKey + "\\Missing\r\n"),
            kResultOk);
  EXPECT_TRUE(Exists("\\Full"));
  EXPECT_FALSE(Exists("\\Empty"));
  EXPECT_FALSE(Exists("\\Plain"));
  EXPECT_FALSE(Exists("\\Tree"));
  EXPECT_EQ(Run("DELETEREGKEYRECURSIVE Software\\X\r\n"), kResultNoRegistryRoot);
}
