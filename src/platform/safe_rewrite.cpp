#include "platform/safe_rewrite.h"

#include <windows.h>

#include <cstddef>
#include <cstring>

#include "base/text.h"
#include "platform/delete_on_reboot.h"
#include "platform/win32_handles.h"
#include "platform/windows_family.h"

namespace {

constexpr size_t kNameBytes = MAX_PATH;             // what GetTempFileNameA writes
constexpr DWORD kMaxTextBytes = 64u * 1024 * 1024;  // larger files are not read into memory
const char kTempPrefix[] = "kiv";
// What the new file takes over from the original; read-only files are never replaced.
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

// The folder of `path`, where the temporary files go so that a rename never crosses a
// volume: up to and with its last backslash, "." for a bare name, "C:." for "C:name".
bool FolderOf(const char* path, char* folder, size_t size) {
  size_t cut = std::strlen(path);
  while (cut > 0 && path[cut - 1] != '\\' && path[cut - 1] != '/' && path[cut - 1] != ':') --cut;
  if (cut == 0) return CopyText(folder, size, ".");
  if (!CopyText(folder, size, path, cut)) return false;
  return path[cut - 1] != ':' || AppendText(folder, size, ".");
}

// A fresh name in `folder`, held by an empty file of that name.
bool ReserveTempName(const char* folder, char* name) { return GetTempFileNameA(folder, kTempPrefix, 0, name) != 0; }

// Writes the whole text into the reserved file and flushes it to the disk.
bool WriteWhole(const char* name, const std::string& text, DWORD attributes) {
  if (text.size() > kMaxTextBytes) return false;
  KernelHandle file(CreateFileA(name, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.get() == nullptr) return false;
  const DWORD expected = static_cast<DWORD>(text.size());
  DWORD written = 0;
  if (expected > 0 && !WriteFile(file.get(), text.data(), expected, &written, nullptr)) return false;
  if (written != expected || !FlushFileBuffers(file.get())) return false;
  file.Close();
  return SetFileAttributesA(name, attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL) != 0;
}

bool PutInPlaceNt(const char* fresh, const char* path) {
  return MoveFileExA(fresh, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

// The 9x family has no MoveFileExA: the original steps aside under a second temporary
// name, the new file takes its name, and only then does the original go. When the new file
// cannot take the name, the original comes back.
bool PutInPlace9x(const char* fresh, const char* path, const char* folder) {
  char aside[kNameBytes];
  if (!ReserveTempName(folder, aside)) return false;
  DeleteFileA(aside);  // MoveFileA never replaces; the name stays unused
  if (!MoveFileA(path, aside)) return false;
  if (!MoveFileA(fresh, path)) {
    MoveFileA(aside, path);
    return false;
  }
  if (!DeleteFileA(aside)) DeleteOnReboot(aside);
  return true;
}

}  // namespace

bool ReadTextFile(const char* path, std::string* text) {
  KernelHandle file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                nullptr));
  if (file.get() == nullptr) return false;
  DWORD high = 0;
  const DWORD size = GetFileSize(file.get(), &high);
  if (size == INVALID_FILE_SIZE || high != 0 || size > kMaxTextBytes) return false;
  text->assign(size, '\0');
  DWORD got = 0;
  if (size > 0 && !ReadFile(file.get(), &(*text)[0], size, &got, nullptr)) return false;
  return got == size;
}

bool ReplaceFileText(const char* path, const std::string& text) {
  return ReplaceFileTextByRoute(path, text, IsNtFamily());
}

bool ReplaceFileTextByRoute(const char* path, const std::string& text, bool ntFamily) {
  const DWORD attributes = GetFileAttributesA(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  if ((attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0) return false;
  char folder[kNameBytes], fresh[kNameBytes];
  if (!FolderOf(path, folder, sizeof(folder)) || !ReserveTempName(folder, fresh)) return false;
  const bool replaced = WriteWhole(fresh, text, attributes & kKeptAttributes) &&
                        (ntFamily ? PutInPlaceNt(fresh, path) : PutInPlace9x(fresh, path, folder));
  if (!replaced) DeleteFileA(fresh);
  return replaced;
}
