#include "platform/change_undo.h"

#include <windows.h>

#include <cstring>
#include <vector>

#include "platform/message_wait.h"
#include "platform/registry_tree.h"
#include "platform/win32_handles.h"

namespace {

constexpr DWORD kServicePollMilliseconds = 250;
constexpr int kServicePolls = 120;  // 30 seconds for a service to reach its earlier state

using Undo = UndoResult (*)(const JournalRecord& record, std::string* what);

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

UndoResult Failed() { return UndoResult::kFailed; }  // GetLastError() holds the cause

std::string KeyText(const JournalRecord& record) {
  return std::string(RootKeyName(RootKeyFromNumber(record.number[0]))) + "\\" + record.text[0];
}

// Creation, access and write times as they were; a read-only file takes them too.
void RestoreTimes(const char* path, const std::string& times) {
  if (times.size() != 3 * sizeof(FILETIME)) return;
  FILETIME kept[3];
  std::memcpy(kept, times.data(), sizeof(kept));
  SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
  KernelHandle file(CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.get() != nullptr) SetFileTime(file.get(), &kept[0], &kept[1], &kept[2]);
}

bool DeleteWhatIsThere(const char* path) {
  if (!Exists(path)) return true;
  SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
  return DeleteFileA(path) != FALSE;
}

UndoResult UndoFile(const JournalRecord& record, std::string* what) {
  const char* path = record.text[0].c_str();
  const std::string& kept = record.text[1];
  const UndoResult asItWas = record.number[1] == kWrittenAhead ? UndoResult::kNotMade : UndoResult::kUndone;
  if (kept.empty()) {  // it was not there before
    if (!Exists(record.text[0])) {
      *what = record.text[0] + " found as it was";
      return asItWas;
    }
    *what = record.text[0] + " removed";
    return DeleteWhatIsThere(path) ? UndoResult::kUndone : Failed();
  }
  *what = record.text[0] + " put back";
  if (!Exists(kept)) {  // the change never came, or this undo has been done already
    *what = record.text[0] + " found as it was";
    return asItWas;
  }
  if (!DeleteWhatIsThere(path)) return Failed();
  if (!MoveFileA(kept.c_str(), path)) {  // the journal lies on another volume
    if (!CopyFileA(kept.c_str(), path, FALSE)) return Failed();
    SetFileAttributesA(kept.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(kept.c_str());
  }
  RestoreTimes(path, record.data);
  SetFileAttributesA(path, record.number[0]);
  return UndoResult::kUndone;
}

UndoResult UndoAttributes(const JournalRecord& record, std::string* what) {
  *what = "attributes of " + record.text[0] + " put back";
  if (!Exists(record.text[0])) return UndoResult::kUndone;
  return SetFileAttributesA(record.text[0].c_str(), record.number[0]) ? UndoResult::kUndone : Failed();
}

UndoResult UndoFolderCreated(const JournalRecord& record, std::string* what) {
  const char* path = record.text[0].c_str();
  *what = "folder " + record.text[0] + " removed";
  if (!Exists(path) || RemoveDirectoryA(path)) return UndoResult::kUndone;
  if (GetLastError() != ERROR_DIR_NOT_EMPTY) return Failed();
  *what = "folder " + record.text[0] + " left: it holds what no journal undoes";
  return UndoResult::kLeft;
}

UndoResult UndoFolderRemoved(const JournalRecord& record, std::string* what) {
  const char* path = record.text[0].c_str();
  *what = "folder " + record.text[0] + " made again";
  if (!Exists(path) && !CreateDirectoryA(path, nullptr)) return Failed();
  SetFileAttributesA(path, record.number[0]);
  return UndoResult::kUndone;
}

UndoResult UndoTreeMoved(const JournalRecord& record, std::string* what) {
  const char* path = record.text[0].c_str();
  const std::string& kept = record.text[1];
  *what = "folder " + record.text[0] + " put back whole";
  if (!Exists(kept)) {
    *what = "folder " + record.text[0] + " found as it was";
    return UndoResult::kUndone;
  }
  if (Exists(path) && !RemoveDirectoryA(path)) return Failed();
  return MoveFileA(kept.c_str(), path) ? UndoResult::kUndone : Failed();
}

UndoResult UndoRegValue(const JournalRecord& record, std::string* what) {
  const HKEY root = RootKeyFromNumber(record.number[0]);
  const std::string name = record.text[1];
  RegKey key;
  if (record.number[1] == 0) {  // there was no such value
    *what = KeyText(record) + "," + name + " removed";
    if (RegOpenKeyExA(root, record.text[0].c_str(), 0, KEY_READ | KEY_WRITE, key.receive()) != ERROR_SUCCESS) {
      return UndoResult::kUndone;
    }
    DWORD type = 0;
    std::string data;
    if (!ReadRegValue(key.get(), name.c_str(), &type, &data)) return UndoResult::kUndone;
    const LONG status = RegDeleteValueA(key.get(), name.c_str());
    SetLastError(static_cast<DWORD>(status));
    return status == ERROR_SUCCESS ? UndoResult::kUndone : Failed();
  }
  *what = KeyText(record) + "," + name + " put back";
  LONG status = RegCreateKeyA(root, record.text[0].c_str(), key.receive());
  if (status == ERROR_SUCCESS) {
    status = RegSetValueExA(key.get(), name.c_str(), 0, record.number[2],
                            reinterpret_cast<const BYTE*>(record.data.data()), static_cast<DWORD>(record.data.size()));
  }
  SetLastError(static_cast<DWORD>(status));
  return status == ERROR_SUCCESS ? UndoResult::kUndone : Failed();
}

UndoResult UndoRegKeyCreated(const JournalRecord& record, std::string* what) {
  const HKEY root = RootKeyFromNumber(record.number[0]);
  *what = KeyText(record) + " removed";
  DeleteRegTree(root, record.text[0].c_str());
  RegKey key;
  const LONG status = RegOpenKeyExA(root, record.text[0].c_str(), 0, KEY_READ, key.receive());
  if (status != ERROR_SUCCESS) return UndoResult::kUndone;
  SetLastError(ERROR_ACCESS_DENIED);
  return Failed();
}

UndoResult UndoRegTree(const JournalRecord& record, std::string* what) {
  *what = KeyText(record) + " made again";
  std::vector<RegTreeEntry> tree;
  if (!DecodeRegTree(record.data, &tree)) {
    SetLastError(ERROR_INVALID_DATA);
    return Failed();
  }
  return WriteRegTree(RootKeyFromNumber(record.number[0]), record.text[0].c_str(), tree) ? UndoResult::kUndone
                                                                                           : Failed();
}

bool IsPending(DWORD state) {
  return state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING || state == SERVICE_CONTINUE_PENDING ||
         state == SERVICE_PAUSE_PENDING;
}

// Waits while the service is on its way somewhere (a stop the ended run asked for may still
// be going on); false when it cannot be read or is still pending after the polls.
bool Settle(SC_HANDLE service, SERVICE_STATUS* status, DWORD goal) {
  for (int poll = 0; poll < kServicePolls; ++poll) {
    if (!QueryServiceStatus(service, status)) return false;
    if (status->dwCurrentState == goal || !IsPending(status->dwCurrentState)) return true;
    SleepPumping(kServicePollMilliseconds);
  }
  SetLastError(ERROR_SERVICE_REQUEST_TIMEOUT);
  return false;
}

// Brings a service back to `goal` (running or stopped) and waits until it is there.
UndoResult ServiceBackTo(const std::string& name, DWORD goal) {
  ServiceHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (manager.get() == nullptr) return Failed();
  ServiceHandle service(OpenServiceA(manager.get(), name.c_str(), SERVICE_START | SERVICE_STOP | SERVICE_QUERY_STATUS));
  if (service.get() == nullptr) return Failed();
  SERVICE_STATUS status = {};
  if (!Settle(service.get(), &status, goal)) return Failed();
  if (status.dwCurrentState == goal) return UndoResult::kUndone;
  const BOOL asked = goal == SERVICE_RUNNING ? StartServiceA(service.get(), 0, nullptr)
                                             : ControlService(service.get(), SERVICE_CONTROL_STOP, &status);
  if (!asked) return Failed();
  if (!Settle(service.get(), &status, goal)) return Failed();
  if (status.dwCurrentState == goal) return UndoResult::kUndone;
  SetLastError(ERROR_SERVICE_REQUEST_TIMEOUT);
  return Failed();
}

UndoResult UndoServiceStopped(const JournalRecord& record, std::string* what) {
  *what = "service " + record.text[0] + " started again";
  return ServiceBackTo(record.text[0], SERVICE_RUNNING);
}

UndoResult UndoServiceStarted(const JournalRecord& record, std::string* what) {
  *what = "service " + record.text[0] + " stopped again";
  return ServiceBackTo(record.text[0], SERVICE_STOPPED);
}

UndoResult UndoSecurity(const JournalRecord& record, std::string* what) {
  using SetFileSecurityFn = BOOL(WINAPI*)(LPCSTR, SECURITY_INFORMATION, PSECURITY_DESCRIPTOR);
  *what = "access list of " + record.text[0] + " put back";
  if (!Exists(record.text[0])) return UndoResult::kUndone;
  LoadedModule advapi(LoadSystemLibrary("Advapi32.dll"));
  const SetFileSecurityFn setSecurity =
      advapi.get() == nullptr ? nullptr
                              : reinterpret_cast<SetFileSecurityFn>(
                                    reinterpret_cast<void*>(GetProcAddress(advapi.get(), "SetFileSecurityA")));
  if (setSecurity == nullptr) return Failed();
  std::string descriptor = record.data;  // the call takes it writable
  return setSecurity(record.text[0].c_str(), DACL_SECURITY_INFORMATION, &descriptor[0]) ? UndoResult::kUndone
                                                                                          : Failed();
}

struct UndoRow {
  UndoKind kind;
  Undo undo;
};

const UndoRow kUndoRows[] = {
    {UndoKind::kFileBefore, UndoFile},
    {UndoKind::kFolderCreated, UndoFolderCreated},
    {UndoKind::kFolderRemoved, UndoFolderRemoved},
    {UndoKind::kTreeMovedAside, UndoTreeMoved},
    {UndoKind::kRegValueBefore, UndoRegValue},
    {UndoKind::kRegKeyCreated, UndoRegKeyCreated},
    {UndoKind::kRegTreeBefore, UndoRegTree},
    {UndoKind::kServiceStopped, UndoServiceStopped},
    {UndoKind::kServiceStarted, UndoServiceStarted},
    {UndoKind::kSecurityBefore, UndoSecurity},
    {UndoKind::kAttributesBefore, UndoAttributes},
};

}  // namespace

UndoResult UndoRecord(const JournalRecord& record, std::string* what, unsigned long* error) {
  for (const UndoRow& row : kUndoRows) {
    if (row.kind != record.kind) continue;
    SetLastError(ERROR_SUCCESS);
    const UndoResult result = row.undo(record, what);
    *error = result == UndoResult::kFailed ? GetLastError() : 0;
    return result;
  }
  *what = "a record of an unknown kind";
  *error = ERROR_INVALID_DATA;
  return UndoResult::kFailed;
}
