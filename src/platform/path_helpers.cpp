#include "platform/change_door.h"
#include "platform/path_helpers.h"

#include <windows.h>
#include <io.h>

#include <cstring>

#include "platform/win32_handles.h"
#include "platform/windows_family.h"

namespace {

// Whether the text ends with a backslash that is a character of its own, not the second
// byte of a double-byte character.
bool EndsWithBackslash(const char* text) {
  const char* last = nullptr;
  for (const char* p = text; *p != '\0'; p = CharNextA(p)) last = p;
  return last != nullptr && *last == '\\' && last[1] == '\0';
}

}  // namespace

bool JoinPath(char* folder, size_t capacity, const char* name) {
  const size_t folderLength = std::strlen(folder);
  const size_t nameLength = std::strlen(name);
  if (folderLength + nameLength + 2 >= capacity) return false;
  if (folderLength == 0) {
    std::memcpy(folder, name, nameLength + 1);
    return true;
  }
  const bool folderEnds = EndsWithBackslash(folder);
  const bool nameBegins = name[0] == '\\';
  if (folderEnds && nameBegins) {
    ++name;  // one of the two goes
  } else if (!folderEnds && !nameBegins) {
    std::strcat(folder, "\\");
  }
  std::strcat(folder, name);
  return true;
}

void MakeFolderChain(const char* path) {
  char chain[MAX_PATH + 1];
  lstrcpynA(chain, path, MAX_PATH);
  size_t length = std::strlen(chain);
  if (length == 0 || chain[length - 1] != '\\') {
    chain[length++] = '\\';
    chain[length] = '\0';
  }
  for (size_t i = 4; i < length; ++i) {
    if (chain[i] != '\\') continue;
    chain[i] = '\0';
    DoorCreateFolder(chain, nullptr);
    chain[i] = '\\';
  }
}

bool FileExists(const char* path) {
  DWORD attributes = DoorFileAttributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool IsFileLocked(const char* path) {
  if (_access(path, 0) != 0) return false;  // missing
  if (_access(path, 6) != 0) return true;   // read-only
  // Opening for writing while sharing everything fails only because of another holder. The
  // 9x family knows no FILE_SHARE_DELETE: there the flag would fail every open.
  const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | (IsNtFamily() ? FILE_SHARE_DELETE : 0);
  KernelHandle file(CreateFileA(path, GENERIC_WRITE, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.get() != nullptr) return false;
  const DWORD error = GetLastError();
  return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}
