// The registry script language against the real registry, in a key of the tests' own.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "app/registrar.h"

namespace {

const char kBase[] = "Software\\KivrunRegistrarTest";

class Registrar : public ::testing::Test {
 protected:
  void SetUp() override { RegDeleteTreeA(HKEY_CURRENT_USER, kBase); }
  void TearDown() override { RegDeleteTreeA(HKEY_CURRENT_USER, kBase); }

  static HRESULT Run(const std::string& body, bool registering, const RegistrarReplacement* map = nullptr,
                     int count = 0) {
    std::string script = "HKCU\r\n{\r\n\tNoRemove Software\r\n\t{\r\n" + body + "\r\n\t}\r\n}\r\n";
    return RunRegistryScript(script.c_str(), registering, map, count);
  }
  static bool Exists(const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, (std::string(kBase) + path).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
      return false;
    }
    RegCloseKey(key);
    return true;
  }
  static std::string Value(const std::string& path, const char* name, DWORD* type = nullptr) {
    BYTE data[256] = {};
    DWORD size = sizeof(data), valueType = 0;
    if (RegGetValueA(HKEY_CURRENT_USER, (std::string(kBase) + path).c_str(), name, RRF_RT_ANY, &valueType, data,
                     &size) != ERROR_SUCCESS) {
      return "<none>";
    }
    if (type != nullptr) *type = valueType;
    if (valueType == REG_SZ) return reinterpret_cast<char*>(data);
    return std::string(reinterpret_cast<char*>(data), size);
  }
};

}  // namespace

TEST_F(Registrar, RegistersKeysAndValuesOfEveryTypeAndUnregistersThem) {
  const std::string body =
      "KivrunRegistrarTest { Plain = s 'it''s here' 'Two Words' { val Count = d 0x10 val Raw = b 0A0b "
      "val Text = s {GUID-like} } NoRemove Kept { val Gone = s x } }";
  ASSERT_EQ(Run(body, true), S_OK);
  EXPECT_EQ(Value("\\Plain", nullptr), "it's here");
  DWORD type = 0;
  EXPECT_EQ(Value("\\Two Words", "Count", &type), std::string("\x10\0\0\0", 4));
  EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(Value("\\Two Words", "Raw", &type), "\x0A\x0B");
  EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
  EXPECT_EQ(Value("\\Two Words", "Text"), "{GUID-like}");
  EXPECT_EQ(Value("\\Kept", "Gone"), "x");

  ASSERT_EQ(Run(body, false), S_OK);
  EXPECT_FALSE(Exists("\\Plain"));
  EXPECT_FALSE(Exists("\\Two Words"));
  EXPECT_TRUE(Exists("\\Kept"));
  EXPECT_EQ(Value("\\Kept", "Gone"), "<none>");
  EXPECT_TRUE(Exists(""));  // it still holds Kept
}

TEST_F(Registrar, KeywordsAndTypeLettersMatchInAnyCase) {
  ASSERT_EQ(Run("KivrunRegistrarTest { noremove A { VAL v = S one } FORCEREMOVE B = D 7 }", true), S_OK);
  EXPECT_EQ(Value("\\A", "v"), "one");
  EXPECT_EQ(Value("\\B", nullptr), std::string("\x07\0\0\0", 4));
}

TEST_F(Registrar, ForceRemoveClearsTheKeyFirstAndDeleteRemovesIt) {
  ASSERT_EQ(Run("KivrunRegistrarTest { F { Old { val x = s 1 } } D { val y = s 2 } }", true), S_OK);
  ASSERT_EQ(Run("KivrunRegistrarTest { ForceRemove F { New } Delete D { Inner } }", true), S_OK);
  EXPECT_TRUE(Exists("\\F\\New"));
  EXPECT_FALSE(Exists("\\F\\Old"));
  EXPECT_FALSE(Exists("\\D"));
}

TEST_F(Registrar, UnregisteringKeepsAKeyThatStillHasSubkeys) {
  ASSERT_EQ(Run("KivrunRegistrarTest { Parent { Listed } }", true), S_OK);
  HKEY extra = nullptr;
  RegCreateKeyA(HKEY_CURRENT_USER, (std::string(kBase) + "\\Parent\\Unlisted").c_str(), &extra);
  RegCloseKey(extra);
  ASSERT_EQ(Run("KivrunRegistrarTest { Parent { Listed } }", false), S_OK);
  EXPECT_FALSE(Exists("\\Parent\\Listed"));
  EXPECT_TRUE(Exists("\\Parent\\Unlisted"));
}

TEST_F(Registrar, AKeyThatCannotBeOpenedSwitchesItsBlockToRecovery) {
  // "Missing" does not exist: its block must not touch the same-named key one level up.
  ASSERT_EQ(Run("KivrunRegistrarTest { Inner { val v = s 1 } }", true), S_OK);
  ASSERT_EQ(Run("KivrunRegistrarTest { Missing { Inner } }", false), S_OK);
  EXPECT_TRUE(Exists("\\Inner"));
  EXPECT_EQ(Value("\\Inner", "v"), "1");
}

TEST_F(Registrar, ReplacesPercentNamesAndRejectsUnknownOnes) {
  const RegistrarReplacement map[] = {{"Module", "C:\\it''s\\Kivrun.exe"}};
  ASSERT_EQ(Run("KivrunRegistrarTest { M = s '%Module% 100%%' }", true, map, 1), S_OK);
  EXPECT_EQ(Value("\\M", nullptr), "C:\\it's\\Kivrun.exe 100%");
  EXPECT_EQ(Run("KivrunRegistrarTest { N = s '%Nobody%' }", true, map, 1), E_FAIL);
  EXPECT_FALSE(Exists("\\N"));
}

TEST_F(Registrar, ARootBlockThatFailsPartWayIsUndone) {
  EXPECT_EQ(Run("KivrunRegistrarTest { First = s 1 Second = q 2 }", true), E_FAIL);
  EXPECT_FALSE(Exists("\\First"));
  EXPECT_EQ(Run("KivrunRegistrarTest { Open { val v = s 1 ", true), E_FAIL);
  EXPECT_FALSE(Exists("\\Open"));
  EXPECT_EQ(RunRegistryScript("HKXX { }", true, nullptr, 0), E_FAIL);
}
