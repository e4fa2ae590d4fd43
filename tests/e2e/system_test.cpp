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

}  // namespace

TEST(SystemFamily, GetOsTypeAndIsAdminFollowTheWindowsFamily) {
  EXPECT_EQ(QueryFamily().rfind("WIN32_NT", 0), 0u);

  SetWineVersion("win98");
  std::string family = QueryFamily();
  SetWineVersion(nullptr);
  EXPECT_EQ(family, "WIN32_9X 4.10 TRUE");
}

// On the 9x family a file in use is scheduled through wininit.ini, under its short name,
// and the service commands do nothing.
TEST(SystemFamily, The9xRouteSchedulesDeletionsInWininitAndSkipsServices) {
  CreateDirectoryA("C:\\kivtest\\long folder name", nullptr);
  const std::string file = "C:\\kivtest\\long folder name\\busy file.dll";
  HANDLE busy = CreateFileA(file.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0,
                            nullptr);
  char shortPath[MAX_PATH] = "";
  GetShortPathNameA(file.c_str(), shortPath, sizeof(shortPath));
  char windows[MAX_PATH];
  GetWindowsDirectoryA(windows, sizeof(windows));
  const std::string wininit = std::string(windows) + "\\wininit.ini";
  DeleteFileA(wininit.c_str());

  std::string script = WriteScript("family9x.kiv",
                                   "[Main]\r\nSET S=unset\r\nDELETEONEFILE " + file +
                                       "\r\nSTOPSERVICE NoSuchService\r\nISSERVICERUNNING S=NoSuchService\r\n"
                                       "CONTINUEIF %%S%%=unset\r\nSET X\r\n");
  SetWineVersion("win98");
  DWORD code = RunKivrun({"/Script=" + script, "/Section=Main", "/Log=" + FreshLog("family9x")});
  SetWineVersion(nullptr);
  CloseHandle(busy);

  EXPECT_EQ(code, 23u);  // S stayed "unset", so the script reached SET X
  char value[MAX_PATH] = "";
  GetPrivateProfileStringA("rename", "NUL", "", value, sizeof(value), wininit.c_str());
  EXPECT_STREQ(value, shortPath);
  DeleteFileA(wininit.c_str());
  DeleteFileA(file.c_str());
  RemoveDirectoryA("C:\\kivtest\\long folder name");
}
