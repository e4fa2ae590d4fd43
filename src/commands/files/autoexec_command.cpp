// REMOVESCANEXEFROMAUTOEXEC: the one repair of the DOS start-up file. The scanner's call
// goes, with the line after it; the file is rewritten whole or not at all, and nothing that
// goes wrong is reported.
#include <cstring>
#include <string>

#include "commands/files/file_commands.h"
#include "engine/result_codes.h"
#include "platform/change_door.h"
#include "platform/safe_rewrite.h"

namespace {

const char kAutoexecPath[] = "C:\\AutoExec.Bat";
const char kScannerCall[] = "SCAN.EXE ";  // capitals, one blank after

}  // namespace

int RemoveScanExeFromAutoexecCommand(ScriptContext*, const ScriptLine*) {
  std::string text;
  if (!DoorReadFileText(kAutoexecPath, &text)) return kResultOk;

  // Searched as a C text: the search ends at a NUL byte.
  const char* begin = text.c_str();
  const char* match = std::strstr(begin, kScannerCall);
  if (match == nullptr) return kResultOk;  // nothing to take: the file is not touched
  // From the start of the scanner's line to just after the second LF that follows it.
  const char* start = match;
  while (start > begin && start[-1] != '\n') --start;
  const char* end = std::strchr(match, '\n');
  if (end != nullptr) end = std::strchr(end + 1, '\n');
  const size_t from = static_cast<size_t>(start - begin);
  const size_t to = end != nullptr ? static_cast<size_t>(end + 1 - begin) : text.size();
  text.erase(from, to - from);
  DoorReplaceFileText(kAutoexecPath, text);
  return kResultOk;
}
