#include "platform/delete_on_reboot.h"

#include <windows.h>

#include <cstring>
#include <string>

#include "base/text.h"
#include "platform/safe_rewrite.h"
#include "platform/text_holders.h"
#include "platform/win32_handles.h"

namespace {

const char kWinInitName[] = "\\wininit.ini";  // in the Windows folder
const char kRenameSection[] = "rename";
const char kBlanks[] = " \t\r\n";

bool IsOwnExecutable(const char* path) {
  char own[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, own, sizeof(own));
  return _stricmp(own, path) == 0;
}

// Whether the line from `open` (its "[") to `lineEnd` is the header of [rename], in any case.
bool IsRenameHeader(const std::string& text, size_t open, size_t lineEnd) {
  const size_t close = text.find(']', open);
  if (close >= lineEnd) return false;
  const std::string name = text.substr(open + 1, close - open - 1);
  const size_t first = name.find_first_not_of(kBlanks);
  if (first == std::string::npos) return false;
  const size_t last = name.find_last_not_of(kBlanks);
  return EqualIgnoringCase(name.substr(first, last - first + 1).c_str(), kRenameSection);
}

// Where a line added to the first [rename] section goes: just after its last line that holds
// text, so the section's lines keep their order. npos when the file has no such section.
size_t EndOfRenameSection(const std::string& text) {
  size_t end = std::string::npos;
  bool inside = false;
  for (size_t start = 0; start < text.size();) {
    size_t next = text.find('\n', start);
    next = next == std::string::npos ? text.size() : next + 1;
    const size_t first = text.find_first_not_of(kBlanks, start);
    if (first < next) {
      if (text[first] == '[') {
        if (inside) break;
        inside = IsRenameHeader(text, first, next);
      }
      if (inside) end = next;
    }
    start = next;
  }
  return end;
}

// The text with a NUL=<path> line at the end of [rename] (the section is made when missing).
std::string WithDeletion(std::string text, const char* path) {
  std::string line = std::string("NUL=") + path + "\r\n";
  size_t at = EndOfRenameSection(text);
  if (at == std::string::npos) {
    at = text.size();
    line = "[" + std::string(kRenameSection) + "]\r\n" + line;
  }
  if (at > 0 && text[at - 1] != '\n') line = "\r\n" + line;  // the last line had no line break
  text.insert(at, line);
  return text;
}

// The 9x start-up deletes every NUL=<path> line of [rename] in wininit.ini. The profile
// functions keep one line per key, so the section is written here, every other line of the
// file kept as it was; a missing file is made. Failures are silent.
void ScheduleInWinInit(const char* path) {
  char file[MAX_PATH];
  const UINT length = GetWindowsDirectoryA(file, sizeof(file));
  if (length == 0 || length >= sizeof(file) || !AppendText(file, sizeof(file), kWinInitName)) return;
  // The rewrite of a file may itself schedule a leftover of the 9x route for deletion; that
  // one is not written into the file being rewritten (main thread only).
  static bool rewriting = false;
  if (rewriting) return;
  std::string text;
  if (GetFileAttributesA(file) == INVALID_FILE_ATTRIBUTES) {
    KernelHandle created(CreateFileA(file, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (created.get() == nullptr) return;
  } else if (!ReadTextFile(file, &text)) {
    return;  // never written over unread
  }
  rewriting = true;
  ReplaceFileText(file, WithDeletion(text, path));
  rewriting = false;
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
  target.ToShortPath();  // the 9x start-up runs before long names are known
  ScheduleInWinInit(target.c_str());
}

void DeleteOnReboot(const char* path) {
  // The top bit of GetVersion is set on the 9x family.
  DeleteOnRebootByRoute(path, (GetVersion() & 0x80000000u) == 0);
}
