#include "commands/files/file_commands.h"

#include <windows.h>
#include <direct.h>
#include <io.h>
#include <sys/stat.h>

#include <cstring>
#include <ctime>

#include "commands/files/file_list_commands.h"
#include "commands/target_guard.h"
#include "commands/ui/message_wait.h"
#include "engine/acting_text.h"
#include "engine/arguments.h"
#include "engine/keywords.h"
#include "engine/report.h"
#include "engine/result_codes.h"
#include "engine/symbols.h"
#include "engine/text.h"
#include "platform/delete_on_reboot.h"
#include "platform/path_helpers.h"
#include "platform/process_tool.h"
#include "platform/win32_handles.h"

namespace {

constexpr size_t kMaxReferenceFiles = 64;
constexpr DWORD kUnlockStepMilliseconds = 1000;

ReferenceFile g_references[kMaxReferenceFiles];
size_t g_referenceCount = 0;
int g_canAllFilesFlag = 1;  // kept from one CANALLFILESBECOPIED to the next

// Substitutes the whole argument of a folder command: 0, or 28 or 24 (reported).
int FolderArgument(ScriptContext* context, ScriptLine* line, char* path) {
  return SubstituteActingText(context, line, line->argumentText, path, kPathChars);
}

// CREATEDIR passes over (51, returned) a path shorter than four characters that is neither
// a drive (C:) nor a root (C:\); its length is measured before any character is looked at.
bool IsTooShortToCreate(const char* path) {
  const size_t length = std::strlen(path);
  if (length >= 4) return false;
  const bool drive = length >= 2 && path[1] == ':';
  const bool root = length >= 3 && path[2] == '\\';
  return !drive && !root;
}

// Deletes one file now (read-only too), or at the next restart when it is in use.
void DeleteFileOrSchedule(const char* path) {
  SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
  if (!DeleteFileA(path) && FileExists(path)) DeleteOnReboot(path);
}

// Creates the folders of a file's path that are missing, as a list copy does for its target.
void MakeFolderOf(const char* file) {
  char folder[kPathChars];
  CopyText(folder, sizeof(folder), file);
  char* last = nullptr;  // the last backslash that is a character of its own
  for (char* p = folder; *p != '\0'; p = CharNextA(p)) {
    if (*p == '\\') last = p;
  }
  if (last == nullptr) return;  // a bare name: the current folder
  *last = '\0';
  MakeFolderChain(folder);
}

// The six time bytes of a file's last modification, in local time.
bool ModificationTime(const char* path, ReferenceFile* time) {
  struct _stat status;
  if (_stat(path, &status) != 0) return false;
  time_t modified = status.st_mtime;
  const std::tm* local = std::localtime(&modified);
  if (local == nullptr) return false;
  time->hour = static_cast<unsigned char>(local->tm_hour);
  time->minute = static_cast<unsigned char>(local->tm_min);
  time->second = static_cast<unsigned char>(local->tm_sec);
  time->year = static_cast<unsigned char>(local->tm_year & 0xFF);
  time->month = static_cast<unsigned char>(local->tm_mon + 1);
  time->day = static_cast<unsigned char>(local->tm_mday);
  return true;
}

const ReferenceFile* FindReference(const char* name) {
  for (size_t i = 0; i < g_referenceCount; ++i) {
    if (EqualIgnoringCase(g_references[i].name, name)) return &g_references[i];
  }
  return nullptr;
}

// Year, month, day, hour, minute, second: the first difference decides.
bool EarlierThan(const ReferenceFile& file, const ReferenceFile& reference) {
  const unsigned char a[] = {file.year, file.month, file.day, file.hour, file.minute, file.second};
  const unsigned char b[] = {reference.year, reference.month, reference.day,
                             reference.hour, reference.minute, reference.second};
  for (size_t i = 0; i < sizeof(a); ++i) {
    if (a[i] != b[i]) return a[i] < b[i];
  }
  return false;
}

}  // namespace

const HandlerRow FileCommandRows[] = {
    {kOpCopyOneFile, CopyOneFileCommand},
    {kOpDeleteOneFile, DeleteOneFileCommand},
    {kOpCreateDir, CreateDirCommand},
    {kOpRemoveDir, RemoveDirCommand},
    {kOpRemoveDirRecursive, RemoveDirRecursiveCommand},
    {kOpFileExists, FileExistsCommand},
    {kOpIsCurrentFileOlder, IsCurrentFileOlderCommand},
    {kOpIsFileLocked, IsFileLockedCommand},
    {kOpWaitTillUnlocked, WaitTillUnlockedCommand},
    {kOpCanAllFilesBeCopied, CanAllFilesBeCopiedCommand},
    {kOpRemoveScanExeFromAutoexec, RemoveScanExeFromAutoexecCommand},
    {kOpNone, nullptr},
};

bool AddReferenceFile(const ReferenceFile& record) {
  if (g_referenceCount == kMaxReferenceFiles) return false;
  g_references[g_referenceCount++] = record;
  return true;
}

void ClearReferenceFiles() { g_referenceCount = 0; }

int CopyOneFileCommand(ScriptContext* context, ScriptLine* line) {
  char text[kPathChars];
  int result = SubstituteActingText(context, line, line->argumentText, text, sizeof(text));
  if (result != kResultOk) return result;
  char* comma = std::strchr(text, ',');
  if (comma == nullptr) return FailLine(context, line, kResultBadSwitch);
  *comma = '\0';
  char* destination = comma + 1;
  TrimText(text);
  TrimText(destination);
  MakeFolderOf(destination);
  result = CopyFileOnce(text, destination);
  if (result == kResultTargetInUse) {
    ReportModuleUsers(destination, true);
    // Those of its users that ran from the family folder are ended now, but a process
    // ends a moment after it is told to: the list copy's attempts, a second apart.
    result = CopyWithRetries(text, destination);
  }
  return result == kResultOk ? kResultOk : FailLine(context, line, result);
}

int DeleteOneFileCommand(ScriptContext* context, ScriptLine* line) {
  char path[kPathChars];
  int result = SubstituteActingText(context, line, line->argumentText, path, sizeof(path));
  if (result != kResultOk) return result;
  TrimText(path);
  if (path[0] == '\0') return FailLine(context, line, kResultBadSwitch);
  DeleteFileOrSchedule(path);
  return kResultOk;
}

int CreateDirCommand(ScriptContext* context, ScriptLine* line) {
  char path[kPathChars];
  int result = FolderArgument(context, line, path);
  if (result != kResultOk) return result;
  if (IsTooShortToCreate(path)) return kResultBadSwitch;
  MakeFolderChain(path);
  return kResultOk;
}

int RemoveDirCommand(ScriptContext* context, ScriptLine* line) {
  char path[kPathChars];
  int result = FolderArgument(context, line, path);
  if (result == kResultOk) result = GuardFolderTarget(context, line, path);
  if (result == kResultOk) _rmdir(path);  // only an empty folder goes
  return result;
}

int RemoveDirRecursiveCommand(ScriptContext* context, ScriptLine* line) {
  char path[kPathChars];
  int result = FolderArgument(context, line, path);
  if (result == kResultOk) result = GuardFolderTarget(context, line, path);
  if (result == kResultOk) DeleteTree(path);
  return result;
}

void DeleteTree(const char* folder) {
  char pattern[kPathChars];
  CopyText(pattern, sizeof(pattern), folder);
  JoinPath(pattern, sizeof(pattern), "*.*");
  struct _finddata_t entry;
  intptr_t search = _findfirst(pattern, &entry);
  if (search != -1) {
    do {
      if (std::strcmp(entry.name, ".") == 0 || std::strcmp(entry.name, "..") == 0) continue;
      char path[kPathChars];
      CopyText(path, sizeof(path), folder);
      if (!JoinPath(path, sizeof(path), entry.name)) continue;  // too long to name
      if (entry.attrib & _A_SUBDIR) {
        DeleteTree(path);
      } else {
        DeleteFileOrSchedule(path);
      }
    } while (_findnext(search, &entry) == 0);
    _findclose(search);
  }
  SetFileAttributesA(folder, FILE_ATTRIBUTE_NORMAL);  // a read-only folder goes too
  if (_rmdir(folder) != 0 && GetFileAttributesA(folder) != INVALID_FILE_ATTRIBUTES) DeleteOnReboot(folder);
}

int FileExistsCommand(ScriptContext* context, ScriptLine* line) {
  char variable[kPathChars], path[kPathChars];
  int result = SplitAssignment(line->argumentText, variable, sizeof(variable), path, sizeof(path));
  if (result != kResultOk) return result;  // returned, not reported
  char substituted[kPathChars];
  result = SubstituteActingText(context, line, path, substituted, sizeof(substituted));
  if (result != kResultOk) return result;
  return SymbolSet(context->symbols, variable, TrueOrFalse(FileExists(substituted)));
}

int IsCurrentFileOlderCommand(ScriptContext* context, ScriptLine* line) {
  char variable[kPathChars], name[kPathChars];
  int result = SplitAssignment(line->argumentText, variable, sizeof(variable), name, sizeof(name));
  if (result != kResultOk) return result;
  char path[kPathChars];
  CopyText(path, sizeof(path), context->workDir);
  JoinPath(path, sizeof(path), name);
  if (!FileExists(path)) return SymbolSet(context->symbols, variable, "TRUE");

  ReferenceFile current;
  const ReferenceFile* reference = FindReference(name);
  if (reference == nullptr || !ModificationTime(path, &current)) return kResultFileNotFound;  // unreported
  return SymbolSet(context->symbols, variable, TrueOrFalse(EarlierThan(current, *reference)));
}

int IsFileLockedCommand(ScriptContext* context, ScriptLine* line) {
  char variable[kPathChars], path[kPathChars];
  int result = SplitAssignment(line->argumentText, variable, sizeof(variable), path, sizeof(path));
  if (result != kResultOk) return FailLine(context, line, result);
  return SymbolSet(context->symbols, variable, TrueOrFalse(IsFileLocked(path)));
}

int WaitTillUnlockedCommand(ScriptContext*, ScriptLine* line) {
  char path[kPathChars] = "", time[kPathChars] = "";
  const char* next = NextField(line->argumentText, path, sizeof(path), ',');
  if (next != nullptr) NextField(next, time, sizeof(time), ',');
  const int32_t total = TextToLong(time);
  if (path[0] == '\0' || !IsFileLocked(path) || total == 0) return kResultOk;

  int32_t waited = 0;
  do {
    int32_t step = total - waited;
    if (step > 999) step = kUnlockStepMilliseconds;
    if (step > 0) SleepPumping(static_cast<DWORD>(step));
    waited += step > 0 ? step : 1;
  } while (IsFileLocked(path) && waited < total);
  return kResultOk;  // unlocked or timed out: the script does not learn which
}

int CanAllFilesBeCopiedCommand(ScriptContext* context, ScriptLine* line) {
  const char* equals = std::strchr(line->argumentText, '=');
  if (equals == nullptr || equals - line->argumentText > static_cast<ptrdiff_t>(kPathChars)) return kResultOk;
  char variable[kPathChars + 1];
  CopyText(variable, sizeof(variable), line->argumentText, static_cast<size_t>(equals - line->argumentText));
  TrimText(variable);

  const char* position = equals + 1;
  char path[kPathChars];
  while ((position = NextField(position, path, sizeof(path), ',')) != nullptr && path[0] != '\0') {
    g_canAllFilesFlag = IsFileLocked(path) ? 0 : 1;
    if (g_canAllFilesFlag == 0) break;
  }
  return SymbolSet(context->symbols, variable, TrueOrFalse(g_canAllFilesFlag == 1));
}
