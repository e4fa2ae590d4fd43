// System queries in Kivrun.exe on both Windows families: Wine reports the 9x family when
// HKCU\Software\Wine has Version = win98.
#include <gtest/gtest.h>

#include "e2e_support.h"

namespace {

const char kResultKey[] = "Software\\KivrunOsTest";

// Runs the queries and gives what the script wrote back: "type version admin".
std::string QueryFamily() {
  RegDeleteTreeA(HKEY_CURRENT_USER, kResultKey);
  HKEY key = nullptr;
  RegCreateKeyA(HKEY_CURRENT_USER, kResultKey, &key);
  RegCloseKey(key);
  std::string script = WriteScript(
      "family.kiv",
      "[Main]\r\nGETOSTYPE T\r\nGETOSVERSION V\r\nISADMIN A\r\n"
      "SETREGVALUE HKCU\\Software\\KivrunOsTest,Result=%%T%% %%V%% %%A%%\r\n");
  RunKivrun({"/Script=" + script, "/Section=Main", "/Log=" + FreshLog("family")});
  char value[128] = "";
  DWORD size = sizeof(value);
  RegGetValueA(HKEY_CURRENT_USER, kResultKey, "Result", RRF_RT_REG_SZ, nullptr, value, &size);
  RegDeleteTreeA(HKEY_CURRENT_USER, kResultKey);
  return value;
}

void SetWineVersion(const char* version) {
  HKEY key = nullptr;
  RegCreateKeyA(HKEY_CURRENT_USER, "Software\\Wine", &key);
  if (version != nullptr) {
    RegSetValueExA(key, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version),
                   static_cast<DWORD>(strlen(version) + 1));
  } else {
    RegDeleteValueA(key, "Version");
  }
  RegCloseKey(key);
}

}  // namespace

TEST(SystemFamily, GetOsTypeAndIsAdminFollowTheWindowsFamily) {
  EXPECT_EQ(QueryFamily().rfind("WIN32_NT", 0), 0u);

  SetWineVersion("win98");
  std::string family = QueryFamily();
  SetWineVersion(nullptr);
  EXPECT_EQ(family, "WIN32_9X 4.10 TRUE");
}
