// Deletion at restart by both routes: the NT family's pending operations and the 9x
// family's wininit.ini.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "platform/delete_on_reboot.h"
#include "test_support.h"
#include "win32/file_fixtures.h"

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

// Each path gets a NUL= line of its own at the end of [rename]; the rest of the file stays.
TEST(DeleteOnReboot, The9xRouteGivesEveryPathItsOwnNulLineInTheRenameSection) {
  CreateDirectoryA("C:\\kivtest long folder", nullptr);
  const std::string file = "C:\\kivtest long folder\\in use file.dll";
  WriteTempFile("unused", "");
  HANDLE created = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  CloseHandle(created);
  EXPECT_NE(ShortForm(file), file);
  // The short form where there is one; a wildcard component as written; a missing path unchanged.
  const std::string lines = "NUL=" + ShortForm(file) + "\r\nNUL=" + ShortForm("C:\\kivtest long folder") +
                            "\\*.tmp\r\nNUL=C:\\no such folder\\gone.dll\r\n";
  const struct {
    const char* before;  // nullptr: no wininit.ini yet, so it is made
    std::string after;
  } cases[] = {
      {nullptr, "[rename]\r\n" + lines},
      {"[boot]\r\nshell=x", "[boot]\r\nshell=x\r\n[rename]\r\n" + lines},
      {"[boot]\r\nshell=x\r\n[Rename]\r\nC:\\NEW.DLL=C:\\OLD.DLL\r\n\r\n[other]\r\nNUL=1\r\n",
       "[boot]\r\nshell=x\r\n[Rename]\r\nC:\\NEW.DLL=C:\\OLD.DLL\r\n" + lines + "\r\n[other]\r\nNUL=1\r\n"},
      {"[rename]\nNUL=C:\\A.DLL", "[rename]\nNUL=C:\\A.DLL\r\n" + lines},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.before != nullptr ? c.before : "(none)");
    DeleteFileA(WinInit().c_str());
    if (c.before != nullptr) WriteFileText(WinInit(), c.before);
    DeleteOnRebootByRoute(file.c_str(), false);
    DeleteOnRebootByRoute("C:\\kivtest long folder\\*.tmp", false);
    DeleteOnRebootByRoute("C:\\no such folder\\gone.dll", false);
    EXPECT_EQ(ReadWholeFile(WinInit()), c.after);
  }

  DeleteFileA(WinInit().c_str());
  DeleteFileA(file.c_str());
  RemoveDirectoryA("C:\\kivtest long folder");
}
