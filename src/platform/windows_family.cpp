#include "platform/windows_family.h"

#include <windows.h>

namespace {
bool g_known = false;
bool g_nt = false;
}  // namespace

bool IsNtFamily() {
  if (g_known) return g_nt;
  OSVERSIONINFOA version = {};
  version.dwOSVersionInfoSize = sizeof(version);
  if (!GetVersionExA(&version)) return false;
  g_nt = version.dwPlatformId == VER_PLATFORM_WIN32_NT;
  g_known = true;
  return g_nt;
}
