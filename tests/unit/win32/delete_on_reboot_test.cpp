// Deletion at restart by both routes: the NT family's pending operations and the 9x
// family's wininit.ini.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "platform/delete_on_reboot.h"
#include "test_support.h"

namespace {

const char kSessionManager[] = "System\\CurrentControlSet\\Control\\Session Manager";

std::string PendingOperations() {
  char data[16384] = {};
  DWORD size = sizeof(data);
  if (RegGetValueA(HKEY_LOCAL_MACHINE, kSessionManager, "PendingFileRenameOperations", RRF_RT_REG_MULTI_SZ, nullptr,
                   data, &size) != ERROR_SUCCESS) {
    return "";
  }
  return std::string(data, size);
}

std::string WinInit() {
  char folder[MAX_PATH];
  GetWindowsDirectoryA(folder, sizeof(folder));
  return std::string(folder) + "\\wininit.ini";
}

std::string ShortForm(const std::string& path) {
  char shortPath[MAX_PATH] = "";
  GetShortPathNameA(path.c_str(), shortPath, sizeof(shortPath));
  return shortPath;
}

}  // namespace

TEST(DeleteOnReboot, TheNtRouteRecordsEveryPathInOrder) {
  const std::string first = WriteTempFile("pending one.txt", "x");
  const std::string second = WriteTempFile("pending two.txt", "x");
  const std::string before = PendingOperations();
  DeleteOnRebootByRoute(first.c_str(), true);
  DeleteOnRebootByRoute(second.c_str(), true);
  const std::string after = PendingOperations();
  size_t one = after.find(first, before.size());
  size_t two = after.find(second, before.size());
  EXPECT_NE(one, std::string::npos);
  EXPECT_NE(two, std::string::npos);
  EXPECT_LT(one, two);
  // Leave the prefix as it was: the next start of Wine would carry these out.
  HKEY key = nullptr;
  RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_SET_VALUE, &key);
  if (before.empty()) {
    RegDeleteValueA(key, "PendingFileRenameOperations");
  } else {
    RegSetValueExA(key, "PendingFileRenameOperations", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(before.data()),
                   static_cast<DWORD>(before.size()));
  }
  RegCloseKey(key);
}

TEST(DeleteOnReboot, TheRunningProgramIsNeverScheduled) {
  char own[MAX_PATH];
  GetModuleFileNameA(nullptr, own, sizeof(own));
  std::string lower = own;
  for (char& c : lower) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  DeleteFileA(WinInit().c_str());
  DeleteOnRebootByRoute(lower.c_str(), false);
  EXPECT_EQ(GetFileAttributesA(WinInit().c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(DeleteOnReboot, The9xRouteWritesTheShortPathUnderNulAndKeepsOnlyTheLast) {
  CreateDirectoryA("C:\\kivtest long folder", nullptr);
  const std::string file = "C:\\kivtest long folder\\in use file.dll";
  WriteTempFile("unused", "");
  HANDLE created = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  CloseHandle(created);
  DeleteFileA(WinInit().c_str());

  DeleteOnRebootByRoute(file.c_str(), false);
  char value[MAX_PATH] = "";
  GetPrivateProfileStringA("rename", "NUL", "", value, sizeof(value), "wininit.ini");
  EXPECT_EQ(value, ShortForm(file));
  EXPECT_NE(std::string(value), file);

  // A wildcard keeps its component as written; its folder is shortened.
  DeleteOnRebootByRoute("C:\\kivtest long folder\\*.tmp", false);
  GetPrivateProfileStringA("rename", "NUL", "", value, sizeof(value), "wininit.ini");
  EXPECT_EQ(std::string(value), ShortForm("C:\\kivtest long folder") + "\\*.tmp");

  // A path that does not exist is written as it is, and replaces the one entry.
  DeleteOnRebootByRoute("C:\\no such folder\\gone.dll", false);
  GetPrivateProfileStringA("rename", "NUL", "", value, sizeof(value), "wininit.ini");
  EXPECT_STREQ(value, "C:\\no such folder\\gone.dll");
  EXPECT_NE(ReadWholeFile(WinInit()).find("[rename]"), std::string::npos);

  DeleteFileA(WinInit().c_str());
  DeleteFileA(file.c_str());
  RemoveDirectoryA("C:\\kivtest long folder");
}
