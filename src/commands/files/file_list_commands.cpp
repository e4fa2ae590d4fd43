#include "commands/files/file_list_commands.h"

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/argument_reader.h"
#include "engine/keywords.h"
#include "engine/loader.h"
#include "engine/report.h"
#include "engine/result_codes.h"
#include "base/text.h"
#include "log/log.h"
#include "platform/change_door.h"
#include "platform/delete_on_reboot.h"
#include "platform/path_helpers.h"
#include "platform/process_tool.h"
#include "platform/win32_handles.h"

namespace {

constexpr int kCopyAttempts = 5;
constexpr DWORD kCopyRetryMilliseconds = 1000;

bool IsListEntry(const ScriptLine* line) { return line->opcode == kOpFileCio || line->opcode == kOpFileCow; }

// The running section becomes the list while its lines run, and is given back after.
class CurrentSectionSwap {
 public:
  CurrentSectionSwap(ScriptContext* context, ScriptSection* list) : context_(context), saved_(context->currentSection) {
    list->stopFlag = 0;
    context->currentSection = list;
  }
  ~CurrentSectionSwap() { context_->currentSection = saved_; }

 private:
  ScriptContext* context_;
  ScriptSection* saved_;
};

// What a list carries from one entry to the next: the working folder's chain of folders,
// made once per list (again only after a line of the list that is no entry has run: a
// SETWORKDIR may name another folder, a REMOVEDIR remove it), and how many of the entries
// that come next the door has been told of.
struct ListProgress {
  char folder[kPathChars] = "";
  bool made = false;
  int expected = 0;
};

void EnsureFolderChain(const char* workDir, ListProgress* progress) {
  if (progress->made && std::strcmp(progress->folder, workDir) == 0) return;
  MakeFolderChain(workDir);
  CopyText(progress->folder, sizeof(progress->folder), workDir);
  progress->made = true;
}

// An entry's target: its name (the second field) in the working folder.
void TargetPath(const ScriptContext* context, const char* name, char (&target)[kPathChars]) {
  CopyText(target, sizeof(target), context->workDir);
  JoinPath(target, sizeof(target), name);
}

void EntryTarget(ScriptContext* context, const ScriptLine* entry, char (&target)[kPathChars]) {
  LineArgument<> names;  // source[,destination]: its form has no faults
  names.Read(context, entry);
  TargetPath(context, names[1], target);
}

// The door is told of the targets of the entries that follow one another from `from` on (up
// to a line that is no entry, at most kEntriesExpected): with a journal their undo records
// are written together. Told once the folder chain is made, so that those records come after
// the folders' own. Returns how many it was told of.
int ExpectEntries(ScriptContext* context, RecordLinks* from) {
  constexpr int kEntriesExpected = 64;
  std::vector<std::string> targets;
  for (RecordLinks* links = from; links != nullptr && targets.size() < kEntriesExpected; links = links->next) {
    const ScriptLine* entry = RecordFromLinks<ScriptLine>(links);
    if (!IsListEntry(entry)) break;
    char target[kPathChars];
    EntryTarget(context, entry, target);
    targets.emplace_back(target);
  }
  DoorExpectCopies(targets);
  return static_cast<int>(targets.size());
}

// A target's attributes are cleared so that a read-only (hidden, system) one is overwritten.
// Only a target that is there and has such attributes is touched: on a name that is not
// there the file system would search the folder for it. True when something was cleared.
bool ClearTargetAttributes(const char* path) {
  constexpr DWORD kInTheWay = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  const DWORD attributes = DoorFileAttributes(path);
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & kInTheWay) == 0) return false;
  return DoorSetFileAttributes(path, FILE_ATTRIBUTE_NORMAL) != FALSE;
}

// Copies one list entry; reports and stops the list for FILECIO, only logs for FILECOW.
int CopyEntry(ScriptContext* context, RecordLinks* links, ListProgress* progress) {
  const ScriptLine* line = RecordFromLinks<ScriptLine>(links);
  LineArgument<> entry;  // source[,destination]: its form has no faults
  entry.Read(context, line);
  // The source, from the script's folder, is opened first: a name that opens is there.
  char source[kPathChars];
  CopyText(source, sizeof(source), context->scriptDir);
  JoinPath(source, sizeof(source), entry[0]);
  KernelHandle sourceFile(CreateFileA(source, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
  if (sourceFile.get() == nullptr && !FileExists(source)) return FailLine(context, line, kResultFileNotFound);

  EnsureFolderChain(context->workDir, progress);
  if (progress->expected == 0) progress->expected = ExpectEntries(context, links);
  --progress->expected;
  char destination[kPathChars];
  TargetPath(context, entry[1], destination);

  const bool copyOver = line->opcode == kOpFileCow;
  LogStatus(copyOver ? "FILECOW: %s %s" : "FILECIO: %s %s", source, destination);
  int result = CopyListFile(destination, source, &sourceFile, copyOver);
  if (result == kResultOk) return kResultOk;
  if (result != kResultFileNotFound) {  // a source that has gone ends the list as a missing one does
    // The users of the target are named; FILECIO ends those that run from the family folder
    // when they are what holds it.
    ReportModuleUsers(destination, !copyOver && result == kResultTargetInUse);
    if (copyOver) return kResultOk;  // a failed FILECOW is logged and passed over
    // Those of its users that ran from the family folder are ended now: the copy gets its
    // attempts once more before the target counts as in use.
    if (result == kResultTargetInUse) result = CopyWithRetries(source, destination, true);
    if (result == kResultOk) return kResultOk;
  }
  return FailLine(context, line, result);
}

}  // namespace

const HandlerRow FileListCommandRows[] = {
    {kOpCopyFiles, CopyFilesCommand},
    {kOpDelFiles, DelFilesCommand},
    {kOpNone, nullptr},
};

// Only the last-write times are compared: GetFileTime reads them from the open handles (a
// whole BY_HANDLE_FILE_INFORMATION makes Wine look up the volume on every call).
int CopyListFile(const char* destination, const char* source, KernelHandle* sourceFile, bool copyOver) {
  if (sourceFile->get() == nullptr) return kResultCannotOpenFile;
  FILETIME sourceTime;
  if (!copyOver && GetFileTime(sourceFile->get(), nullptr, nullptr, &sourceTime)) {
    KernelHandle target(CreateFileA(DoorContentPath(destination).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    // A newer target is left exactly as it is; one that is copied over has its attributes
    // cleared where they refuse the copy (CopyWithRetries).
    FILETIME targetTime;
    if (target.get() != nullptr && GetFileTime(target.get(), nullptr, nullptr, &targetTime) &&
        CompareFileTime(&targetTime, &sourceTime) > 0) {
      DoorNoteSkipped(destination, "the installed file is newer");
      return kResultOk;
    }
  }
  sourceFile->Close();
  return CopyWithRetries(source, destination, true);
}

int CopyWithRetries(const char* source, const char* destination, bool clearAttributes) {
  // A plain sleep after each failed attempt: nothing is dispatched while a copy waits.
  int result = kResultTargetInUse;
  for (int attempt = 1; attempt <= kCopyAttempts; ++attempt) {
    result = CopyFileOnce(source, destination);
    // A list copy overwrites a read-only (hidden, system) target: its attributes are cleared
    // once it refuses the copy, and the attempt is made again at once, uncounted.
    if (result == kResultTargetInUse && clearAttributes && ClearTargetAttributes(destination)) {
      result = CopyFileOnce(source, destination);
    }
    if (result != kResultTargetInUse) return result;  // copied, or the source has gone
    Sleep(kCopyRetryMilliseconds);
  }
  return result;
}

// 33 means that another program has the target: a sharing, lock or access failure. A
// source that has gone is 13; any other failure (a full disk, a bad name) is 12.
int CopyFileOnce(const char* source, const char* destination) {
  if (DoorCopyFile(source, destination)) return kResultOk;
  switch (GetLastError()) {
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_ACCESS_DENIED:
    case ERROR_USER_MAPPED_FILE:
      return kResultTargetInUse;
    default:
      return FileExists(source) ? kResultCannotWriteFile : kResultFileNotFound;
  }
}

int CopyFilesCommand(ScriptContext* context, const ScriptLine* line) {
  int result = kResultOk;
  LineArgument<> argument;  // the section's name, as written
  argument.Read(context, line);
  ScriptSection* list = FindSection(context->sections, argument[0]);
  if (list == nullptr) {
    result = kResultSectionNotFound;
  } else {
    CurrentSectionSwap swap(context, list);
    ListProgress progress;
    for (RecordLinks* links = list->lines->first; links != nullptr && result == kResultOk && list->stopFlag != 1;
         links = links->next) {
      ScriptLine* entry = RecordFromLinks<ScriptLine>(links);
      if (IsListEntry(entry)) {
        result = CopyEntry(context, links, &progress);
      } else {
        result = ExecuteLine(context, entry);
        progress.made = false;
        progress.expected = 0;
      }
    }
  }
  if (result == kResultSectionNotFound) return FailLine(context, line, result);
  return result;
}

int DelFilesCommand(ScriptContext* context, const ScriptLine* line) {
  LineArgument<> argument;  // the section's name, as written
  argument.Read(context, line);
  ScriptSection* list = FindSection(context->sections, argument[0]);
  if (list == nullptr) return FailLine(context, line, kResultSectionNotFound);

  int result = kResultOk;
  {
    CurrentSectionSwap swap(context, list);
    for (RecordLinks* links = list->lines->first; links != nullptr && result == kResultOk; links = links->next) {
      ScriptLine* entry = RecordFromLinks<ScriptLine>(links);
      if (!IsListEntry(entry)) {
        result = ExecuteLine(context, entry);
        continue;
      }
      char path[kPathChars];
      EntryTarget(context, entry, path);
      // A file that is there but will not go has its attributes cleared (a read-only one then
      // goes); what is in use now goes at the next restart; a missing file is passed over.
      if (DoorDeleteFile(path) || !FileExists(path)) continue;
      if (ClearTargetAttributes(path) && DoorDeleteFile(path)) continue;
      DoorScheduleDelete(path);
    }
  }
  if (result != kResultOk && context->currentSection != nullptr) context->currentSection->stopFlag = 1;
  return result;
}
