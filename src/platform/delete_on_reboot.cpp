#include "platform/delete_on_reboot.h"

#include <windows.h>

#include <cstring>

#include "platform/text_holders.h"

namespace {

bool IsOwnExecutable(const char* path) {
  char own[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, own, sizeof(own));
  return _stricmp(own, path) == 0;
}

}  // namespace

void DeleteOnRebootByRoute(const char* path, bool ntFamily) {
  if (path == nullptr || IsOwnExecutable(path)) return;
  PathText target;
  if (!target.Assign(path) || target.Empty()) return;
  if (ntFamily) {
    MoveFileExA(target.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    return;
  }
  // wininit.ini of the Windows folder: [rename] NUL=<path> deletes the path at start-up.
  // The profile interface keeps one "NUL" entry, so only the last path of a run survives.
  target.ToShortPath();
  WritePrivateProfileStringA("rename", "NUL", target.c_str(), "wininit.ini");
}

void DeleteOnReboot(const char* path) {
  // The top bit of GetVersion is set on the 9x family.
  DeleteOnRebootByRoute(path, (GetVersion() & 0x80000000u) == 0);
}
