#include "commands/files/file_list_commands.h"

#include <windows.h>

#include <cstring>

#include "engine/argument_reader.h"
#include "engine/keywords.h"
#include "engine/loader.h"
#include "engine/report.h"
#include "engine/result_codes.h"
#include "base/text.h"
#include "log/log.h"
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

bool LastWriteTime(const char* path, FILETIME* time) {
  KernelHandle file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                nullptr));
  BY_HANDLE_FILE_INFORMATION information;
  if (file.get() == nullptr || !GetFileInformationByHandle(file.get(), &information)) return false;
  *time = information.ftLastWriteTime;
  return true;
}

// Copies one list entry; reports and stops the list for FILECIO, only logs for FILECOW.
int CopyEntry(ScriptContext* context, const ScriptLine* line) {
  LineArgument<> entry;  // source[,destination]: its form has no faults
  entry.Read(context, line);
  const char* destinationName = entry[1];
  char source[kPathChars];
  int result = ResolveSourceFile(context, entry[0], source);
  if (result != kResultOk) return FailLine(context, line, result);

  char destination[kPathChars];
  CopyText(destination, sizeof(destination), context->workDir);
  MakeFolderChain(destination);
  JoinPath(destination, sizeof(destination), destinationName);

  const bool copyOver = line->opcode == kOpFileCow;
  LogStatus(copyOver ? "FILECOW: %s %s" : "FILECIO: %s %s", source, destination);
  result = CopyListFile(destination, source, copyOver);
  if (result == kResultOk) return kResultOk;
  if (result != kResultFileNotFound) {  // a source that has gone ends the list as a missing one does
    // The users of the target are named; FILECIO ends those that run from the family folder
    // when they are what holds it.
    ReportModuleUsers(destination, !copyOver && result == kResultTargetInUse);
    if (copyOver) return kResultOk;  // a failed FILECOW is logged and passed over
    // Those of its users that ran from the family folder are ended now: the copy gets its
    // attempts once more before the target counts as in use.
    if (result == kResultTargetInUse) result = CopyWithRetries(source, destination);
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

int ResolveSourceFile(const ScriptContext* context, const char* name, char* path) {
  CopyText(path, kPathChars, context->scriptDir);
  JoinPath(path, kPathChars, name);
  return FileExists(path) ? kResultOk : kResultFileNotFound;
}

int CopyListFile(const char* destination, const char* source, bool copyOver) {
  SetFileAttributesA(destination, FILE_ATTRIBUTE_NORMAL);  // a read-only target is overwritten
  KernelHandle sourceFile(CreateFileA(source, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
  if (sourceFile.get() == nullptr) return kResultCannotOpenFile;
  BY_HANDLE_FILE_INFORMATION sourceInformation;
  if (!copyOver && GetFileInformationByHandle(sourceFile.get(), &sourceInformation)) {
    FILETIME destinationTime;
    if (LastWriteTime(destination, &destinationTime) &&
        CompareFileTime(&destinationTime, &sourceInformation.ftLastWriteTime) > 0) {
      return kResultOk;  // the installed file is newer
    }
  }
  sourceFile.Close();
  return CopyWithRetries(source, destination);
}

int CopyWithRetries(const char* source, const char* destination) {
  // A plain sleep after each failed attempt: nothing is dispatched while a copy waits.
  int result = kResultTargetInUse;
  for (int attempt = 1; attempt <= kCopyAttempts; ++attempt) {
    result = CopyFileOnce(source, destination);
    if (result != kResultTargetInUse) return result;  // copied, or the source has gone
    Sleep(kCopyRetryMilliseconds);
  }
  return result;
}

// 33 means that another program has the target: a sharing, lock or access failure. A
// source that has gone is 13; any other failure (a full disk, a bad name) is 12.
int CopyFileOnce(const char* source, const char* destination) {
  if (CopyFileA(source, destination, FALSE)) return kResultOk;
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
    for (RecordLinks* links = list->lines->first; links != nullptr && result == kResultOk && list->stopFlag != 1;
         links = links->next) {
      ScriptLine* entry = RecordFromLinks<ScriptLine>(links);
      result = IsListEntry(entry) ? CopyEntry(context, entry) : ExecuteLine(context, entry);
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
      LineArgument<> names;  // source[,destination]: its form has no faults
      names.Read(context, entry);
      char path[kPathChars];
      CopyText(path, sizeof(path), context->workDir);
      JoinPath(path, sizeof(path), names[1]);
      SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
      // What is in use now goes at the next restart; a missing file is passed over.
      if (!DeleteFileA(path) && FileExists(path)) DeleteOnReboot(path);
    }
  }
  if (result != kResultOk && context->currentSection != nullptr) context->currentSection->stopFlag = 1;
  return result;
}
