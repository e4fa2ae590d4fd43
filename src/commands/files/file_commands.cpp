#include "commands/files/file_commands.h"

#include <windows.h>
#include <direct.h>
#include <io.h>
#include <sys/stat.h>

#include <cstring>
#include <ctime>

#include "commands/files/file_list_commands.h"
#include "platform/change_door.h"
#include "platform/message_wait.h"
#include "engine/acting_text.h"
#include "engine/argument_reader.h"
#include "engine/arguments.h"
#include "engine/keywords.h"
#include "engine/report.h"
#include "engine/result_codes.h"
#include "engine/symbols.h"
#include "base/text.h"
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

// Deletes one file now (read-only too), or at the next restart when it is in use.
void DeleteFileOrSchedule(const char* path) {
  DoorSetFileAttributes(path, FILE_ATTRIBUTE_NORMAL);
  if (!DoorDeleteFile(path) && FileExists(path)) DoorScheduleDelete(path);
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

int CopyOneFileCommand(ScriptContext* context, const ScriptLine* line) {
  LineArgument<kPathChars> argument;
  if (!argument.Read(context, line)) return argument.end;
  const char* source = argument[0];
  const char* destination = argument[1];
  MakeFolderOf(destination);
  int result = CopyFileOnce(source, destination);
  if (result == kResultTargetInUse) {
    ReportModuleUsers(destination, true);
    // Those of its users that ran from the family folder are ended now, but a process
    // ends a moment after it is told to: the list copy's attempts, a second apart.
    result = CopyWithRetries(source, destination);
  }
  return result == kResultOk ? kResultOk : FailLine(context, line, result);
}

int DeleteOneFileCommand(ScriptContext* context, const ScriptLine* line) {
  LineArgument<kPathChars> argument;
  if (!argument.Read(context, line)) return argument.end;
  DeleteFileOrSchedule(argument[0]);
  return kResultOk;
}

// A path too short to be a folder is passed over by the row's form (51, returned).
int CreateDirCommand(ScriptContext* context, const ScriptLine* line) {
  LineArgument<kPathChars> argument;
  if (!argument.Read(context, line)) return argument.end;
  MakeFolderChain(argument[0]);
  return kResultOk;
}

// The executor has refused a protected folder before these run.
int RemoveDirCommand(ScriptContext* context, const ScriptLine* line) {
  LineArgument<kPathChars> argument;
  if (!argument.Read(context, line)) return argument.end;
  DoorRemoveFolder(argument[0]);  // only an empty folder goes
  return kResultOk;
}

int RemoveDirRecursiveCommand(ScriptContext* context, const ScriptLine* line) {
  LineArgument<kPathChars> argument;
  if (!argument.Read(context, line)) return argument.end;
  DeleteTree(argument[0]);
  return kResultOk;
}

void DeleteTree(const char* folder) {
  if (DoorMoveTreeAside(folder)) return;  // a journal takes the tree whole
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
  DoorSetFileAttributes(folder, FILE_ATTRIBUTE_NORMAL);  // a read-only folder goes too
  if (!DoorRemoveFolder(folder) && DoorFileAttributes(folder) != INVALID_FILE_ATTRIBUTES) DoorScheduleDelete(folder);
}

int FileExistsCommand(ScriptContext* context, const ScriptLine* line) {
  LineArgument<> argument;
  char path[kPathChars];
  int end = kResultOk;
  if (!ReadAssignment(context, line, &argument, path, &end)) return end;  // a form fault is returned, not reported
  return SymbolSet(context->symbols, argument[0], TrueOrFalse(FileExists(path)));
}

int IsCurrentFileOlderCommand(ScriptContext* context, const ScriptLine* line) {
  LineArgument<> argument;
  if (!argument.Read(context, line)) return argument.end;  // returned, not reported
  const char* variable = argument[0];
  const char* name = argument[1];
  char path[kPathChars];
  CopyText(path, sizeof(path), context->workDir);
  JoinPath(path, sizeof(path), name);
  if (!FileExists(path)) return SymbolSet(context->symbols, variable, "TRUE");

  ReferenceFile current;
  const ReferenceFile* reference = FindReference(name);
  if (reference == nullptr || !ModificationTime(DoorContentPath(path).c_str(), &current)) {
    return kResultFileNotFound;  // unreported
  }
  return SymbolSet(context->symbols, variable, TrueOrFalse(EarlierThan(current, *reference)));
}

int IsFileLockedCommand(ScriptContext* context, const ScriptLine* line) {
  LineArgument<> argument;
  if (!argument.Read(context, line)) return argument.end;
  return SymbolSet(context->symbols, argument[0], TrueOrFalse(IsFileLocked(argument[1])));
}

int WaitTillUnlockedCommand(ScriptContext* context, const ScriptLine* line) {
  LineArgument<> argument;
  if (!argument.Read(context, line)) return argument.end;
  const char* path = argument[0];
  const int32_t total = TextToLong(argument[1]);
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

int CanAllFilesBeCopiedCommand(ScriptContext* context, const ScriptLine* line) {
  LineArgument<> argument;
  if (!argument.Read(context, line)) return argument.end;  // without "=" the line is passed over
  const char* variable = argument[0];

  const char* position = argument[1];
  char path[kPathChars];
  while ((position = NextField(position, path, sizeof(path), ',')) != nullptr && path[0] != '\0') {
    g_canAllFilesFlag = IsFileLocked(path) ? 0 : 1;
    if (g_canAllFilesFlag == 0) break;
  }
  return SymbolSet(context->symbols, variable, TrueOrFalse(g_canAllFilesFlag == 1));
}
