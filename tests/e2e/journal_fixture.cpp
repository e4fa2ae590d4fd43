#include "journal_fixture.h"

#include <cstdio>
#include <cstring>

#include "e2e_support.h"

namespace {

std::string Hex(DWORD value) {
  char text[16];
  std::snprintf(text, sizeof(text), "0x%lx", static_cast<unsigned long>(value));
  return text;
}

// Printable bytes as they are, the others as \xNN; a long text is shown by its beginning,
// its length and a checksum (FNV-1a) of the whole.
std::string Shown(const std::string& bytes) {
  constexpr size_t kShownBytes = 80;
  std::string shown = "\"";
  for (size_t i = 0; i < bytes.size() && i < kShownBytes; ++i) {
    const unsigned char c = static_cast<unsigned char>(bytes[i]);
    char escaped[8];
    std::snprintf(escaped, sizeof(escaped), "\\x%02x", c);
    shown += (c >= 0x20 && c < 0x7f && c != '\\' && c != '"') ? std::string(1, static_cast<char>(c)) : escaped;
  }
  shown += "\"";
  if (bytes.size() > kShownBytes) {
    unsigned hash = 2166136261u;
    for (char c : bytes) hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
    char tail[64];
    std::snprintf(tail, sizeof(tail), "... (%zu bytes, checksum %08x)", bytes.size(), hash);
    shown += tail;
  }
  return shown;
}

// The runs of eight or more printable characters, one a line.
std::string TextRuns(const std::string& bytes) {
  std::string runs, run;
  for (char c : bytes + '\0') {
    if (c >= 0x20 && c < 0x7f) {
      run += c;
      continue;
    }
    if (run.size() >= 8) runs += run + "\n";
    run.clear();
  }
  return runs;
}

std::string TimeText(const FILETIME& time) {
  SYSTEMTIME at;
  FileTimeToSystemTime(&time, &at);
  const unsigned long long ticks = (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  char text[48];
  std::snprintf(text, sizeof(text), "%04u-%02u-%02u %02u:%02u:%02u.%07llu", at.wYear, at.wMonth, at.wDay, at.wHour,
                at.wMinute, at.wSecond, ticks % 10000000ull);
  return text;
}

FILETIME DayOfJanuary2020(int day) {
  SYSTEMTIME at = {};
  at.wYear = 2020;
  at.wMonth = 1;
  at.wDay = static_cast<WORD>(day);
  at.wHour = 12;
  FILETIME time;
  SystemTimeToFileTime(&at, &time);
  return time;
}

void AddFile(const std::string& path, Snapshot* snapshot) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  SnapshotItem item;
  item.content = "attributes " + Hex(attributes);
  if (file == INVALID_HANDLE_VALUE) {
    item.content += ", cannot be read (error " + std::to_string(GetLastError()) + ")";
  } else {
    std::string bytes;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0) bytes.append(buffer, got);
    FILETIME created, written;
    GetFileTime(file, &created, nullptr, &written);
    CloseHandle(file);
    item.times = "written " + TimeText(written) + ", created " + TimeText(created);
    // A shortcut records its target's times (in its header and its item list): one made
    // at another moment to the same target differs in those bytes alone. Its text (the
    // target's path) is what it holds, its bytes go with the times.
    if (path.size() > 4 && path.compare(path.size() - 4, 4, ".lnk") == 0) {
      item.times += ", bytes " + Shown(bytes);
      bytes = TextRuns(bytes);
    }
    item.content += ", " + Shown(bytes);
  }
  (*snapshot)["file " + path] = item;
}

void AddFolder(const std::string& folder, Snapshot* snapshot) {
  const DWORD attributes = GetFileAttributesA(folder.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return AddFile(folder, snapshot);
  (*snapshot)["folder " + folder] = {"attributes " + Hex(attributes), ""};
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    if (std::strcmp(found.cFileName, ".") == 0 || std::strcmp(found.cFileName, "..") == 0) continue;
    AddFolder(folder + "\\" + found.cFileName, snapshot);
  } while (FindNextFileA(search, &found));
  FindClose(search);
}

const char* RootName(HKEY root) {
  if (root == HKEY_LOCAL_MACHINE) return "HKLM";
  if (root == HKEY_CURRENT_USER) return "HKCU";
  return "HK?";
}

const char* TypeName(DWORD type) {
  switch (type) {
    case REG_SZ: return "REG_SZ";
    case REG_EXPAND_SZ: return "REG_EXPAND_SZ";
    case REG_MULTI_SZ: return "REG_MULTI_SZ";
    case REG_DWORD: return "REG_DWORD";
    case REG_BINARY: return "REG_BINARY";
    case REG_NONE: return "REG_NONE";
    default: return "REG_OTHER";
  }
}

std::string ValueText(DWORD type, const std::string& data) {
  std::string text = TypeName(type);
  if (type == REG_DWORD && data.size() == 4) {
    DWORD number;
    std::memcpy(&number, data.data(), 4);
    return text + " " + std::to_string(number);
  }
  return text + " " + Shown(data);
}

void AddKey(HKEY root, const std::string& key, Snapshot* snapshot) {
  HKEY opened = nullptr;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) return;
  const std::string name = std::string(RootName(root)) + "\\" + key;
  (*snapshot)["key " + name] = {"", ""};
  std::vector<std::string> subkeys;
  for (DWORD i = 0;; ++i) {
    char valueName[16384];
    DWORD nameChars = sizeof(valueName), type = 0, size = 0;
    if (RegEnumValueA(opened, i, valueName, &nameChars, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) break;
    std::string data(size, '\0');
    nameChars = sizeof(valueName);
    RegEnumValueA(opened, i, valueName, &nameChars, nullptr, &type, reinterpret_cast<BYTE*>(&data[0]), &size);
    data.resize(size);
    (*snapshot)["value " + name + " [" + valueName + "]"] = {ValueText(type, data), ""};
  }
  for (DWORD i = 0;; ++i) {
    char subkey[256];
    DWORD chars = sizeof(subkey);
    if (RegEnumKeyExA(opened, i, subkey, &chars, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    subkeys.push_back(subkey);
  }
  RegCloseKey(opened);
  for (const std::string& subkey : subkeys) AddKey(root, key + "\\" + subkey, snapshot);
}

void AddValue(const RegistryPlace& place, Snapshot* snapshot) {
  HKEY opened = nullptr;
  if (RegOpenKeyExA(place.root, place.key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) return;
  DWORD type = 0, size = 0;
  if (RegQueryValueExA(opened, place.value.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
    std::string data(size, '\0');
    RegQueryValueExA(opened, place.value.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&data[0]), &size);
    data.resize(size);
    (*snapshot)["value " + std::string(RootName(place.root)) + "\\" + place.key + " [" + place.value + "]"] = {
        ValueText(type, data), ""};
  }
  RegCloseKey(opened);
}

DWORD ServiceState(const char* name) {
  SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
  SC_HANDLE service = manager != nullptr ? OpenServiceA(manager, name, SERVICE_QUERY_STATUS) : nullptr;
  SERVICE_STATUS status = {};
  const bool known = service != nullptr && QueryServiceStatus(service, &status);
  if (service != nullptr) CloseServiceHandle(service);
  if (manager != nullptr) CloseServiceHandle(manager);
  return known ? status.dwCurrentState : 0;
}

bool IsPending(DWORD state) {
  return state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING || state == SERVICE_CONTINUE_PENDING ||
         state == SERVICE_PAUSE_PENDING;
}

// A state on its way somewhere is given a few seconds to get there: what counts is where
// the service ends up.
DWORD SettledState(const char* name, DWORD timeoutMs = 5000) {
  DWORD state = ServiceState(name);
  for (DWORD waited = 0; IsPending(state) && waited < timeoutMs; waited += 50) {
    Sleep(50);
    state = ServiceState(name);
  }
  return state;
}

const char* StateName(DWORD state) {
  switch (state) {
    case 0: return "not installed";
    case SERVICE_STOPPED: return "stopped";
    case SERVICE_START_PENDING: return "start pending";
    case SERVICE_STOP_PENDING: return "stop pending";
    case SERVICE_RUNNING: return "running";
    case SERVICE_PAUSED: return "paused";
    default: return "pending";
  }
}

// One step of the service manager, on the service opened with all rights.
template <typename Action>
bool WithService(const char* name, Action action) {
  SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  SC_HANDLE service = manager != nullptr ? OpenServiceA(manager, name, SERVICE_ALL_ACCESS) : nullptr;
  const bool done = service != nullptr && action(service);
  if (service != nullptr) CloseServiceHandle(service);
  if (manager != nullptr) CloseServiceHandle(manager);
  return done;
}

}  // namespace

Snapshot TakeSnapshot(const SnapshotScope& scope) {
  Snapshot snapshot;
  for (const std::string& folder : scope.folders) AddFolder(folder, &snapshot);
  for (const std::string& file : scope.files) AddFile(file, &snapshot);
  for (const RegistryPlace& place : scope.keys) AddKey(place.root, place.key, &snapshot);
  for (const RegistryPlace& place : scope.values) AddValue(place, &snapshot);
  for (const std::string& service : scope.services) {
    snapshot["service " + service] = {StateName(SettledState(service.c_str())), ""};
  }
  return snapshot;
}

std::string Difference(const Snapshot& before, const Snapshot& after, Times times) {
  auto described = [&](const SnapshotItem& item) {
    return times == Times::kCompared && !item.times.empty() ? item.content + "; " + item.times : item.content;
  };
  std::string text;
  for (const auto& [name, item] : before) {
    auto found = after.find(name);
    if (found == after.end()) {
      text += "  gone:    " + name + "\n    was: " + described(item) + "\n";
    } else if (described(found->second) != described(item)) {
      text += "  changed: " + name + "\n    before: " + described(item) + "\n    after:  " +
              described(found->second) + "\n";
    }
  }
  for (const auto& [name, item] : after) {
    if (before.count(name) == 0) text += "  new:     " + name + "\n    is: " + described(item) + "\n";
  }
  return text;
}

void PutFile(const std::string& path, const std::string& bytes, int day, DWORD attributes) {
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  const FILETIME time = DayOfJanuary2020(day);
  SetFileTime(file, &time, &time, &time);
  CloseHandle(file);
  SetFileAttributesA(path.c_str(), attributes);
}

void PutValue(HKEY root, const std::string& key, const std::string& name, DWORD type, const std::string& bytes) {
  HKEY created = nullptr;
  if (RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &created, nullptr) != ERROR_SUCCESS) {
    return;
  }
  RegSetValueExA(created, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                 static_cast<DWORD>(bytes.size()));
  RegCloseKey(created);
}

// RegDeleteTree empties the key; the key itself goes after.
void DeleteKeyTree(HKEY root, const std::string& key) {
  RegDeleteTreeA(root, key.c_str());
  RegDeleteKeyA(root, key.c_str());
}

void DeleteValue(HKEY root, const std::string& key, const std::string& name) {
  HKEY opened = nullptr;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_SET_VALUE, &opened) != ERROR_SUCCESS) return;
  RegDeleteValueA(opened, name.c_str());
  RegCloseKey(opened);
}

std::string ReadShared(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "";
  std::string text;
  char buffer[8192];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0) text.append(buffer, got);
  CloseHandle(file);
  return text;
}

KivrunProcess::KivrunProcess(const std::vector<std::string>& arguments)
    : process_(StartProgram(BinFolder() + "Kivrun.exe", arguments)) {}

KivrunProcess::~KivrunProcess() {
  if (process_ == nullptr) return;
  if (Running()) Kill();
  CloseHandle(process_);
}

bool KivrunProcess::Running() const {
  return process_ != nullptr && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

bool KivrunProcess::WaitForSteps(const std::string& log, size_t count, DWORD timeoutMs) const {
  // Polled without a pause: the run goes on while the log is read, and the kill should land
  // as close behind the step's line as it can.
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < timeoutMs) {
    const bool ended = !Running();
    if (StepLines(ReadShared(log)).size() >= count) return true;
    if (ended) return false;
    Sleep(0);
  }
  return false;
}

void KivrunProcess::Kill() {
  TerminateProcess(process_, 1);
  WaitForSingleObject(process_, 10000);
}

DWORD KivrunProcess::Wait(DWORD timeoutMs) {
  if (WaitForSingleObject(process_, timeoutMs) != WAIT_OBJECT_0) {
    TerminateProcess(process_, 99);
    WaitForSingleObject(process_, 10000);
  }
  DWORD code = 0;
  GetExitCodeProcess(process_, &code);
  return code;
}

std::vector<std::string> StepLines(const std::string& logText) {
  // A log line is "MM-DD HH:MM   Module:pid text": the text begins after the third field.
  std::vector<std::string> steps;
  size_t start = 0;
  while (start < logText.size()) {
    size_t end = logText.find('\n', start);
    if (end == std::string::npos) break;  // a line still being written
    std::string line = logText.substr(start, end - start);
    start = end + 1;
    size_t at = 0;
    for (int field = 0; field < 3 && at != std::string::npos; ++field) {
      at = line.find_first_not_of(' ', at);
      at = at == std::string::npos ? at : line.find(' ', at);
    }
    if (at == std::string::npos) continue;
    const std::string text = line.substr(at + 1);
    if (text.rfind("Executing line ", 0) == 0 || text.rfind("FILECIO: ", 0) == 0 || text.rfind("FILECOW: ", 0) == 0) {
      steps.push_back(text.substr(0, text.find_last_not_of('\r') + 1));
    }
  }
  return steps;
}

bool InstallTestService(const char* name) {
  SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  if (manager == nullptr) return false;
  const std::string binary = "\"" + BinFolder() + "kivrun_test_service.exe\"";
  SC_HANDLE service = CreateServiceA(manager, name, name, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                                     SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE, binary.c_str(), nullptr, nullptr,
                                     nullptr, nullptr, nullptr);
  const bool installed = service != nullptr || GetLastError() == ERROR_SERVICE_EXISTS;
  if (service != nullptr) CloseServiceHandle(service);
  CloseServiceHandle(manager);
  return installed;
}

void RemoveTestService(const char* name) {
  StopTestService(name);
  WithService(name, [](SC_HANDLE service) { return DeleteService(service) != FALSE; });
}

bool StartTestService(const char* name) {
  if (SettledState(name) == SERVICE_RUNNING) return true;
  WithService(name, [](SC_HANDLE service) { return StartServiceA(service, 0, nullptr) != FALSE; });
  return SettledState(name, 10000) == SERVICE_RUNNING;
}

bool StopTestService(const char* name) {
  if (SettledState(name) == SERVICE_STOPPED) return true;
  WithService(name, [](SC_HANDLE service) {
    SERVICE_STATUS status = {};
    return ControlService(service, SERVICE_CONTROL_STOP, &status) != FALSE;
  });
  return SettledState(name, 10000) == SERVICE_STOPPED;
}
