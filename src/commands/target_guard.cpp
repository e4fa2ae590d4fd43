#include "commands/target_guard.h"

#include <windows.h>

#include <cstring>

#include "engine/path_shape.h"
#include "base/text.h"
#include "platform/win32_handles.h"

namespace {

constexpr size_t kFullPathChars = MAX_PATH;

void StripTrailingSlashes(char* path) {
  size_t length = std::strlen(path);
  while (length > 0 && (path[length - 1] == '\\' || path[length - 1] == '/')) path[--length] = '\0';
}

// The absolute, normalised spelling ("..", "." and doubled separators resolved), without a
// trailing backslash; false when it cannot be formed within a path's length.
bool FullPath(const char* path, char* full) {
  char* filePart = nullptr;
  DWORD length = GetFullPathNameA(path, kFullPathChars, full, &filePart);
  if (length == 0 || length >= kFullPathChars) return false;
  StripTrailingSlashes(full);
  return true;
}

bool SameFolder(const char* a, const char* b) {
  if (EqualIgnoringCase(a, b)) return true;
  // 8.3 names (C:\PROGRA~1) name the same folder: compare the short forms of both.
  char shortA[kFullPathChars], shortB[kFullPathChars];
  DWORD lengthA = GetShortPathNameA(a, shortA, sizeof(shortA));
  DWORD lengthB = GetShortPathNameA(b, shortB, sizeof(shortB));
  if (lengthA == 0 || lengthA >= sizeof(shortA) || lengthB == 0 || lengthB >= sizeof(shortB)) return false;
  StripTrailingSlashes(shortA);
  StripTrailingSlashes(shortB);
  return EqualIgnoringCase(shortA, shortB);
}

// A 32-bit Kivrun on 64-bit Windows reads the 32-bit view of the key by default; both
// views are asked. Systems without views refuse the flag, and are asked plainly.
bool ProgramFilesFolder(const char* valueName, REGSAM view, char* folder) {
  RegKey key;
  const char kCurrentVersion[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kCurrentVersion, 0, KEY_READ | view, key.receive()) != ERROR_SUCCESS &&
      RegOpenKeyExA(HKEY_LOCAL_MACHINE, kCurrentVersion, 0, KEY_READ, key.receive()) != ERROR_SUCCESS) {
    return false;
  }
  DWORD type = 0, size = kFullPathChars - 1;
  if (RegQueryValueExA(key.get(), valueName, nullptr, &type, reinterpret_cast<BYTE*>(folder), &size) !=
          ERROR_SUCCESS ||
      type != REG_SZ) {
    return false;
  }
  folder[size < kFullPathChars ? size : kFullPathChars - 1] = '\0';
  return folder[0] != '\0';
}

// The 32-bit system folder of 64-bit Windows; the function came with XP, so it is looked up.
bool Wow64SystemFolder(char* folder) {
  using GetFolder = UINT(WINAPI*)(LPSTR, UINT);
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  if (kernel == nullptr) return false;
  auto get = reinterpret_cast<GetFolder>(reinterpret_cast<void*>(GetProcAddress(kernel, "GetSystemWow64DirectoryA")));
  if (get == nullptr) return false;
  UINT length = get(folder, kFullPathChars);
  return length > 0 && length < kFullPathChars;
}

enum class Source { kWindows, kSystem, kSystemWow64, kProgramFiles, kProgramFiles32 };

bool SourceFolder(Source source, REGSAM view, char* folder) {
  switch (source) {
    case Source::kWindows: {
      UINT length = GetWindowsDirectoryA(folder, kFullPathChars);
      return length > 0 && length < kFullPathChars;
    }
    case Source::kSystem: {
      UINT length = GetSystemDirectoryA(folder, kFullPathChars);
      return length > 0 && length < kFullPathChars;
    }
    case Source::kSystemWow64:
      return Wow64SystemFolder(folder);
    case Source::kProgramFiles:
      return ProgramFilesFolder("ProgramFilesDir", view, folder);
    case Source::kProgramFiles32:
      return ProgramFilesFolder("ProgramFilesDir (x86)", view, folder);
  }
  return false;
}

// The system's own folders, each by the function or value that names it.
bool IsSystemFolder(const char* full) {
  const Source kSources[] = {Source::kWindows, Source::kSystem, Source::kSystemWow64, Source::kProgramFiles,
                             Source::kProgramFiles32};
  const REGSAM kViews[] = {KEY_WOW64_64KEY, KEY_WOW64_32KEY};
  for (Source source : kSources) {
    for (REGSAM view : kViews) {
      char folder[kFullPathChars] = "";
      char normal[kFullPathChars];
      if (SourceFolder(source, view, folder) && FullPath(folder, normal) && SameFolder(full, normal)) return true;
    }
  }
  return false;
}

}  // namespace

bool IsProtectedFolder(const char* path) {
  char text[kFullPathChars];
  if (!CopyText(text, sizeof(text), path)) return true;  // too long to name one folder
  TrimText(text);
  if (ClassifyFolderPath(text) != PathShape::kFolder) return true;
  // The system's own spelling decides: what it makes of the path must still be a folder.
  char full[kFullPathChars];
  if (!FullPath(text, full) || ClassifyFolderPath(full) != PathShape::kFolder) return true;
  return IsSystemFolder(full);
}
