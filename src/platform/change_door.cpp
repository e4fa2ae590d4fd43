#include "platform/change_door.h"

#include <cstddef>
#include <cstring>
#include <vector>

#include "platform/change_journal.h"
#include "platform/change_line.h"
#include "platform/change_plan.h"
#include "platform/copies_ahead.h"
#include "platform/delete_on_reboot.h"
#include "platform/registry_tree.h"
#include "platform/safe_rewrite.h"
#include "platform/win32_handles.h"
#include "platform/windows_family.h"

namespace {

DoorMode g_mode = DoorMode::kAct;

const char kSessionManagerKey[] = "System\\CurrentControlSet\\Control\\Session Manager";
const char kPendingRenames[] = "PendingFileRenameOperations";

bool Journalling() { return g_mode == DoorMode::kJournal && JournalRecording(); }
bool Describing() { return g_mode == DoorMode::kDescribe; }

// While a journal records, the script's changes never reach it: a path in its folder (or, for
// a tree, one that holds its folder) is refused as a folder without access refuses it.
bool Refused(const char* path, bool orHolds = false) {
  if (!Journalling() || !TouchesJournal(path, orHolds)) return false;
  SetLastError(ERROR_ACCESS_DENIED);
  return true;
}

// A change whose undo could not be written is not made: the call fails as a full disk does.
bool Append(const JournalRecord& record) {
  if (AppendRecord(record)) return true;
  SetLastError(ERROR_WRITE_FAULT);
  return false;
}

// What a file or folder is now, without opening it (a file held without sharing is found too).
bool Find(const char* path, WIN32_FIND_DATAA* found) {
  HANDLE search = FindFirstFileA(path, found);
  if (search == INVALID_HANDLE_VALUE) return false;
  FindClose(search);
  return true;
}

// A fresh place for a kept file; a journal folder that cannot take one fails as a full disk.
bool NextKeptPath(std::string* kept) {
  if (KeptPath(kept)) return true;
  SetLastError(ERROR_WRITE_FAULT);
  return false;
}

std::string TimesOf(const WIN32_FIND_DATAA& found) {
  const FILETIME times[3] = {found.ftCreationTime, found.ftLastAccessTime, found.ftLastWriteTime};
  return std::string(reinterpret_cast<const char*>(times), sizeof(times));
}

// Copies a file into the journal so that its name appears only once the copy is whole.
bool CopyAside(const char* path, const std::string& kept) {
  const std::string part = kept + ".part";
  if (!CopyFileA(path, part.c_str(), FALSE)) return false;
  if (MoveFileA(part.c_str(), kept.c_str())) return true;
  const DWORD error = GetLastError();
  SetFileAttributesA(part.c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileA(part.c_str());
  SetLastError(error);
  return false;
}

// Keeps the file as it is before a change: a record names where its bytes go (or that it was
// not there), then they go there. Until the kept file is there nothing has changed, so an
// undo that finds no kept file has nothing to put back.
//
// With `moveAside` (the file is about to be replaced or deleted whole) it is moved into the
// journal: a rename that keeps its attributes and times by itself. A move that another
// program refuses (the file is in use) refuses the change; on another volume the file is
// copied instead, under a record of its own. Otherwise it is copied, its attributes and
// times recorded.
bool KeepFile(const char* path, bool moveAside, std::string* movedTo = nullptr) {
  if (movedTo != nullptr) movedTo->clear();
  std::string kept;
  if (moveAside) {
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) return Append(LineRecord(UndoKind::kFileBefore, path));
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return true;  // the call will refuse it
    if (!NextKeptPath(&kept)) return false;
    JournalRecord record = LineRecord(UndoKind::kFileBefore, path, kept.c_str());
    record.number[0] = attributes;
    if (!Append(record)) return false;
    if (MoveFileA(path, kept.c_str())) {
      if (movedTo != nullptr) *movedTo = kept;
      return true;
    }
    if (GetLastError() != ERROR_NOT_SAME_DEVICE) return false;
  }
  WIN32_FIND_DATAA found;
  if (!Find(path, &found)) return Append(LineRecord(UndoKind::kFileBefore, path));
  if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return true;
  if (!NextKeptPath(&kept)) return false;
  JournalRecord record = LineRecord(UndoKind::kFileBefore, path, kept.c_str());
  record.number[0] = found.dwFileAttributes;
  record.data = TimesOf(found);
  return Append(record) && CopyAside(path, kept);
}

// Puts a file moved aside back where it was, after the change it made way for failed.
void PutBack(const char* path, const std::string& kept) {
  if (kept.empty()) return;
  const DWORD error = GetLastError();
  if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES) DeleteFileA(path);
  MoveFileA(kept.c_str(), path);
  SetLastError(error);
}

// Whether CopyFileA could write over the target now: it opens the target for writing
// without sharing, and so does this.
bool TargetWritable(const char* target) {
  KernelHandle file(CreateFileA(target, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  return file.get() != nullptr;
}

bool RecordRegValue(HKEY root, const char* keyPath, HKEY key, const char* name) {
  JournalRecord record = LineRecord(UndoKind::kRegValueBefore, keyPath, name);
  record.number[0] = RootKeyNumber(root);
  DWORD type = 0;
  if (ReadRegValue(key, name, &type, &record.data)) {
    record.number[1] = 1;
    record.number[2] = type;
  }
  return Append(record);
}

bool RecordRegTree(HKEY root, const char* keyPath) {
  std::vector<RegTreeEntry> tree;
  if (!ReadRegTree(root, keyPath, &tree)) return true;  // nothing there: nothing to delete
  JournalRecord record = LineRecord(UndoKind::kRegTreeBefore, keyPath);
  record.number[0] = RootKeyNumber(root);
  record.data = EncodeRegTree(tree);
  return Append(record);
}

// The first key of parentPath\name that is not there yet, or "" when all are.
std::string FirstMissingKey(HKEY root, const char* parentPath, const char* name) {
  std::string path = parentPath;
  const char* part = name;
  while (*part != '\0') {
    const char* end = std::strchr(part, '\\');
    const size_t length = end != nullptr ? static_cast<size_t>(end - part) : std::strlen(part);
    if (length > 0) {
      if (!path.empty()) path += '\\';
      path.append(part, length);
      RegKey key;
      if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, key.receive()) != ERROR_SUCCESS) return path;
    }
    part += length;
    if (*part == '\\') ++part;
  }
  return "";
}

using GetFileSecurityFn = BOOL(WINAPI*)(LPCSTR, SECURITY_INFORMATION, PSECURITY_DESCRIPTOR, DWORD, LPDWORD);

// A folder's access list as it is, before it is set (the NT family; the 9x family has none).
bool RecordFolderSecurity(const char* path) {
  if (!IsNtFamily() || GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) return true;
  LoadedModule advapi(LoadSystemLibrary("Advapi32.dll"));
  const GetFileSecurityFn getSecurity =
      advapi.get() == nullptr ? nullptr
                              : reinterpret_cast<GetFileSecurityFn>(
                                    reinterpret_cast<void*>(GetProcAddress(advapi.get(), "GetFileSecurityA")));
  if (getSecurity == nullptr) return false;
  DWORD needed = 0;
  getSecurity(path, DACL_SECURITY_INFORMATION, nullptr, 0, &needed);
  if (needed == 0) return false;
  JournalRecord record = LineRecord(UndoKind::kSecurityBefore, path);
  record.data.assign(needed, '\0');
  if (!getSecurity(path, DACL_SECURITY_INFORMATION, &record.data[0], needed, &needed)) return false;
  return Append(record);
}

// An entry of the NT family's ntdll, loaded in every process there; nullptr on the 9x family.
void* NtdllEntry(const char* name) {
  const HMODULE ntdll = IsNtFamily() ? GetModuleHandleA("ntdll.dll") : nullptr;
  return ntdll == nullptr ? nullptr : reinterpret_cast<void*>(GetProcAddress(ntdll, name));
}

// The NT family moves a file aside through the handle that proves it writable (opened for
// writing without sharing, as CopyFileA opens it): one open where TargetWritable and
// MoveFileA make two. False with the Win32 error; ERROR_CALL_NOT_IMPLEMENTED where the
// system has no such rename (the 9x family).
bool MoveAsideWritable(const char* target, const std::string& kept) {
  using SetInformationFn = LONG(WINAPI*)(HANDLE, void* status, void* information, ULONG size, int kind);
  using StatusToErrorFn = ULONG(WINAPI*)(LONG);
  constexpr int kFileRenameInformation = 10;
  static const auto setInformation = reinterpret_cast<SetInformationFn>(NtdllEntry("NtSetInformationFile"));
  static const auto statusToError = reinterpret_cast<StatusToErrorFn>(NtdllEntry("RtlNtStatusToDosError"));
  if (setInformation == nullptr || statusToError == nullptr) {
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return false;
  }
  // The new name as the NT family writes a full path: \??\C:\... or \??\UNC\server\share\...
  const std::string ntPath = kept.compare(0, 2, "\\\\") == 0 ? "\\??\\UNC\\" + kept.substr(2) : "\\??\\" + kept;
  const int wideChars = MultiByteToWideChar(CP_ACP, 0, ntPath.c_str(), -1, nullptr, 0);
  if (wideChars <= 1) return false;
  struct RenameInformation {
    BOOLEAN replaceIfExists;
    HANDLE rootDirectory;
    ULONG nameBytes;
    WCHAR name[1];
  };
  std::vector<unsigned char> buffer(offsetof(RenameInformation, name) + static_cast<size_t>(wideChars) * sizeof(WCHAR));
  RenameInformation* rename = reinterpret_cast<RenameInformation*>(buffer.data());
  rename->replaceIfExists = FALSE;
  rename->rootDirectory = nullptr;
  rename->nameBytes = static_cast<ULONG>(wideChars - 1) * sizeof(WCHAR);
  MultiByteToWideChar(CP_ACP, 0, ntPath.c_str(), -1, rename->name, wideChars);

  KernelHandle file(CreateFileA(target, GENERIC_WRITE | DELETE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.get() == nullptr) return false;  // in use: refused as the copy would be
  struct {
    void* status;
    ULONG_PTR information;
  } io = {};
  const LONG status = setInformation(file.get(), &io, rename, static_cast<ULONG>(buffer.size()), kFileRenameInformation);
  if (status >= 0) return true;
  SetLastError(statusToError(status));
  return false;
}

// Keeps the target as its record written ahead says (nothing there, or a plain file moved
// aside, refused when it is in use), that record then counting as a change. A move that the
// journal's volume refuses falls back to a copy under a record of its own.
bool KeepAsWrittenAhead(const char* target, const CopyAhead& ahead, std::string* movedTo) {
  if (ahead.attributes != INVALID_FILE_ATTRIBUTES) {
    bool moved = MoveAsideWritable(target, ahead.kept);
    if (!moved && GetLastError() == ERROR_CALL_NOT_IMPLEMENTED) {
      if (!TargetWritable(target)) return false;
      moved = MoveFileA(target, ahead.kept.c_str()) != FALSE;
    }
    if (!moved) return GetLastError() == ERROR_NOT_SAME_DEVICE && KeepFile(target, true, movedTo);
    *movedTo = ahead.kept;
  }
  CountChangeMadeAhead();
  return true;
}

// One journalled copy. A target the journal holds as absent (it was not there, or it has just
// been moved aside) is made with a copy that refuses to write over a file: one that another
// program made in between is never overwritten unkept (ERROR_FILE_EXISTS, and the caller
// keeps it in its turn). Such a copy also looks the name up once, not twice.
//
// A copy whose record was written ahead takes it: a target recorded as not there is not
// looked up again (the copy refuses a newcomer all the same), and a plain file recorded as
// there is moved aside as recorded while its attributes are still those recorded; otherwise
// it is kept anew.
BOOL JournalledCopy(const char* source, const char* target) {
  // A copy that will be refused (no source, a target in use) is refused here first, before
  // anything is kept, with the error the copy gives.
  if (GetFileAttributesA(source) == INVALID_FILE_ATTRIBUTES) return FALSE;
  CopyAhead ahead;
  const bool writtenAhead = TakeCopyAhead(target, &ahead);
  const DWORD attributes = writtenAhead && ahead.attributes == INVALID_FILE_ATTRIBUTES ? INVALID_FILE_ATTRIBUTES
                                                                                      : GetFileAttributesA(target);
  const bool keptAsWrittenAhead = writtenAhead && attributes == ahead.attributes;  // it proves itself writable
  if (attributes != INVALID_FILE_ATTRIBUTES && !keptAsWrittenAhead && !TargetWritable(target)) return FALSE;
  // A plain target is moved aside and the copy makes the file anew, as an overwrite would
  // leave it. One that is read-only, hidden or a system file is copied aside instead and
  // overwritten in place: a copy over it keeps (or refuses) those attributes.
  constexpr DWORD kKeptByOverwrite = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  const bool moveAside = attributes == INVALID_FILE_ATTRIBUTES || (attributes & kKeptByOverwrite) == 0;
  std::string movedTo;
  const bool kept = keptAsWrittenAhead ? KeepAsWrittenAhead(target, ahead, &movedTo)
                    : attributes == INVALID_FILE_ATTRIBUTES ? Append(LineRecord(UndoKind::kFileBefore, target))
                                                            : KeepFile(target, moveAside, &movedTo);
  if (!kept) return FALSE;
  const bool absentNow = attributes == INVALID_FILE_ATTRIBUTES || !movedTo.empty();
  if (CopyFileA(source, target, absentNow ? TRUE : FALSE)) return TRUE;
  // A newcomer in the target's place stays; the kept file goes back at the rollback.
  if (GetLastError() != ERROR_FILE_EXISTS) PutBack(target, movedTo);
  return FALSE;
}

}  // namespace

void SetDoorMode(DoorMode mode) {
  g_mode = mode;
  if (mode == DoorMode::kDescribe) StartDescribing();
  SetIrreversibleNote(mode == DoorMode::kJournal ? DoorNoteIrreversible
                      : mode == DoorMode::kDescribe ? PlanNoteOpaque
                                                    : nullptr);
}
DoorMode CurrentDoorMode() { return g_mode; }

BOOL DoorCopyFile(const char* source, const char* target) {
  if (Describing()) return PlanCopyFile(source, target);
  if (!Journalling()) return CopyFileA(source, target, FALSE);
  if (Refused(target)) return FALSE;
  constexpr int kNewcomersKept = 3;  // a file that another program makes meanwhile is kept, then the copy made again
  for (int attempt = 0; attempt < kNewcomersKept; ++attempt) {
    if (JournalledCopy(source, target)) return TRUE;
    if (GetLastError() != ERROR_FILE_EXISTS) return FALSE;
  }
  return FALSE;
}

void DoorExpectCopies(const std::vector<std::string>& targets) {
  if (Journalling()) WriteCopiesAhead(targets);
}

BOOL DoorDeleteFile(const char* path) {
  if (Describing()) return PlanDeleteFile(path);
  if (!Journalling()) return DeleteFileA(path);
  if (Refused(path)) return FALSE;
  const DWORD attributes = GetFileAttributesA(path);
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
    return DeleteFileA(path);  // refused, or nothing there: no change to record
  }
  // Moved into the journal, the file is gone from its folder: that is the deletion. A file
  // in use refuses the move as it refuses the deletion.
  std::string movedTo;
  if (!KeepFile(path, true, &movedTo)) return FALSE;
  return !movedTo.empty() || DeleteFileA(path);
}

BOOL DoorSetFileAttributes(const char* path, DWORD attributes) {
  if (Describing()) return PlanSetFileAttributes(path, attributes);
  if (Refused(path, true)) return FALSE;
  if (Journalling()) {
    const DWORD before = GetFileAttributesA(path);
    if (before != INVALID_FILE_ATTRIBUTES && before != attributes) {
      JournalRecord record = LineRecord(UndoKind::kAttributesBefore, path);
      record.number[0] = before;
      if (!Append(record)) return FALSE;
    }
  }
  return SetFileAttributesA(path, attributes);
}

BOOL DoorCreateFolder(const char* path, SECURITY_ATTRIBUTES* security) {
  if (Describing()) return PlanCreateFolder(path);
  if (Journalling() && GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES &&
      !Append(LineRecord(UndoKind::kFolderCreated, path))) {
    return FALSE;
  }
  return CreateDirectoryA(path, security);
}

BOOL DoorRemoveFolder(const char* path) {
  if (Describing()) return PlanRemoveFolder(path);
  if (Refused(path, true)) return FALSE;
  if (Journalling()) {
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      JournalRecord record = LineRecord(UndoKind::kFolderRemoved, path);
      record.number[0] = attributes;
      if (!Append(record)) return FALSE;
    }
  }
  return RemoveDirectoryA(path);
}

bool DoorMoveTreeAside(const char* folder) {
  if (!Journalling() || TouchesJournal(folder, true)) return false;  // walked instead: the journal stays
  const DWORD attributes = GetFileAttributesA(folder);
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return false;
  std::string kept;
  if (!NextKeptPath(&kept) || !Append(LineRecord(UndoKind::kTreeMovedAside, folder, kept.c_str()))) return false;
  return MoveFileA(folder, kept.c_str()) != FALSE;
}

void DoorScheduleDelete(const char* path) {
  if (Describing()) return PlanScheduleDelete(path);
  if (Refused(path, true)) return;
  if (Journalling()) {
    if (IsNtFamily()) {
      RegKey key;
      if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManagerKey, 0, KEY_READ, key.receive()) == ERROR_SUCCESS &&
          !RecordRegValue(HKEY_LOCAL_MACHINE, kSessionManagerKey, key.get(), kPendingRenames)) {
        return;
      }
    } else {
      char winInit[MAX_PATH];
      const UINT length = GetWindowsDirectoryA(winInit, sizeof(winInit));
      if (length == 0 || length + sizeof("\\wininit.ini") > sizeof(winInit)) return;
      std::strcat(winInit, "\\wininit.ini");
      if (!KeepFile(winInit, false)) return;
    }
  }
  DeleteOnReboot(path);
}

bool DoorReplaceFileText(const char* path, const std::string& text) {
  if (Describing()) return PlanReplaceFileText(path, text);
  if (Refused(path)) return false;
  if (Journalling() && !KeepFile(path, false)) return false;
  return ReplaceFileText(path, text);
}

BOOL DoorWriteIniValue(const char* section, const char* key, const char* value, const char* file) {
  if (Describing()) return PlanWriteIniValue(section, key, value, file);
  if (Refused(file)) return FALSE;
  if (Journalling() && !KeepFile(file, false)) return FALSE;
  return WritePrivateProfileStringA(section, key, value, file);
}

HRESULT DoorSaveShortcut(IPersistFile* file, const wchar_t* widePath, const char* path, const char* target) {
  if (Describing()) return PlanShortcut(path, target);
  if (Refused(path) || (Journalling() && !KeepFile(path, false))) return E_FAIL;
  return file->Save(widePath, TRUE);
}

BOOL DoorSetFolderSecurity(const char* path, SetFileSecurityFn set, PSECURITY_DESCRIPTOR descriptor) {
  if (Describing()) return PlanFolderSecurity(path);
  if (Refused(path, true) || (Journalling() && !RecordFolderSecurity(path))) return FALSE;
  return set(path, DACL_SECURITY_INFORMATION, descriptor);
}

LONG DoorSetRegValue(HKEY root, const char* keyPath, const char* name, DWORD type, const BYTE* data, DWORD size) {
  if (Describing()) return PlanSetRegValue(root, keyPath, name, type, data, size);
  RegKey key;
  LONG status = RegOpenKeyExA(root, keyPath, 0, KEY_READ | KEY_WRITE, key.receive());
  if (status != ERROR_SUCCESS) return status;
  if (Journalling() && !RecordRegValue(root, keyPath, key.get(), name)) return ERROR_WRITE_FAULT;
  return RegSetValueExA(key.get(), name, 0, type, data, size);
}

LONG DoorDeleteRegValue(HKEY root, const char* keyPath, const char* name) {
  if (Describing()) return PlanDeleteRegValue(root, keyPath, name);
  RegKey key;
  LONG status = RegOpenKeyExA(root, keyPath, 0, Journalling() ? KEY_READ | KEY_WRITE : KEY_WRITE, key.receive());
  if (status != ERROR_SUCCESS) return status;
  if (Journalling()) {
    DWORD type = 0;
    std::string old;
    if (ReadRegValue(key.get(), name, &type, &old) && !RecordRegValue(root, keyPath, key.get(), name)) {
      return ERROR_WRITE_FAULT;
    }
  }
  return RegDeleteValueA(key.get(), name);
}

LONG DoorCreateRegKey(HKEY root, const char* parentPath, const char* name) {
  if (Describing()) return PlanCreateRegKey(root, parentPath, name);
  RegKey parent;
  LONG status = RegOpenKeyExA(root, parentPath, 0, KEY_WRITE, parent.receive());
  if (status != ERROR_SUCCESS) return status;
  if (Journalling()) {
    const std::string missing = FirstMissingKey(root, parentPath, name);
    if (!missing.empty()) {
      JournalRecord record = LineRecord(UndoKind::kRegKeyCreated, missing.c_str());
      record.number[0] = RootKeyNumber(root);
      if (!Append(record)) return ERROR_WRITE_FAULT;
    }
  }
  RegKey child;
  return RegCreateKeyA(parent.get(), name, child.receive());
}

LONG DoorDeleteRegKey(HKEY root, const char* keyPath) {
  if (Describing()) return PlanDeleteRegKey(root, keyPath);
  if (Journalling() && !RecordRegTree(root, keyPath)) return ERROR_WRITE_FAULT;
  return RegDeleteKeyA(root, keyPath);
}

void DoorDeleteRegKeyTree(HKEY root, const char* keyPath) {
  if (Describing()) return PlanDeleteRegKeyTree(root, keyPath);
  if (Journalling() && !RecordRegTree(root, keyPath)) return;
  DeleteRegTree(root, keyPath);
}

BOOL DoorStopService(SC_HANDLE service, const char* name, SERVICE_STATUS* status) {
  if (Describing()) return PlanStopService(name, status);
  if (Journalling() && !Append(LineRecord(UndoKind::kServiceStopped, name))) return FALSE;
  return ControlService(service, SERVICE_CONTROL_STOP, status);
}

BOOL DoorStartService(SC_HANDLE service, const char* name) {
  if (Describing()) return PlanStartService(name);
  if (Journalling() && !Append(LineRecord(UndoKind::kServiceStarted, name))) return FALSE;
  return StartServiceA(service, 0, nullptr);
}

void DoorNoteIrreversible(const char* what) {
  if (Journalling()) AppendRecord(LineRecord(UndoKind::kIrreversible, what));
}

BOOL DoorSetProcessPath(const char* value) { return SetEnvironmentVariableA("PATH", value); }
