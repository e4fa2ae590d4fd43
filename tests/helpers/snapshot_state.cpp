#include "snapshot_state.h"

#include <windows.h>

#include <cstdio>
#include <cwctype>
#include <memory>

#include "platform/win32_handles.h"

namespace {

// Places that repeat another, never walked twice: the registry's CurrentControlSet is a
// link to ControlSet001 (the changes are shown under the name scripts use), and the 64-bit
// view's Classes\Wow6432Node a link to the 32-bit view's classes. The pending renames are
// items of their own, not a registry value. ServiceCurrent is the service manager's own
// count of the services it started, not the script's change.
const wchar_t* const kSkippedKeys[] = {
    L"HKLM\\System\\ControlSet001",
    L"HKLM\\Software\\Classes\\Wow6432Node",
    L"HKLM\\System\\CurrentControlSet\\Control\\ServiceCurrent",
};
const wchar_t kRenamesKey[] = L"System\\CurrentControlSet\\Control\\Session Manager";
const wchar_t kRenamesValue[] = L"PendingFileRenameOperations";

// The files whose version resource is read: programs, libraries and drivers.
const wchar_t* const kVersionedExtensions[] = {L".exe", L".dll", L".sys", L".ocx", L".drv", L".cpl", L".scr"};

std::wstring Lower(std::wstring text) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(c));
  return text;
}

bool StartsWithFolder(const std::wstring& lowerPath, const std::wstring& lowerFolder) {
  return lowerPath.compare(0, lowerFolder.size(), lowerFolder) == 0 &&
         (lowerPath.size() == lowerFolder.size() || lowerPath[lowerFolder.size()] == L'\\');
}

void Add(State* state, ItemKind kind, const std::wstring& id, std::vector<std::pair<std::string, std::string>> fields) {
  Item item;
  item.kind = kind;
  item.fields = std::move(fields);
  (*state)[{kind, Utf8(Lower(id))}] = std::move(item);
}

// ---- Files ----------------------------------------------------------------------------

std::string FileVersion(const std::wstring& path) {
  DWORD ignored = 0, size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
  if (size == 0) return "";
  std::vector<unsigned char> block(size);
  VS_FIXEDFILEINFO* info = nullptr;
  UINT length = 0;
  if (!GetFileVersionInfoW(path.c_str(), 0, size, block.data()) ||
      !VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&info), &length) || length < sizeof(*info)) {
    return "";
  }
  char text[64];
  std::snprintf(text, sizeof(text), "%lu.%lu.%lu.%lu", static_cast<unsigned long>(HIWORD(info->dwFileVersionMS)),
                static_cast<unsigned long>(LOWORD(info->dwFileVersionMS)),
                static_cast<unsigned long>(HIWORD(info->dwFileVersionLS)),
                static_cast<unsigned long>(LOWORD(info->dwFileVersionLS)));
  return text;
}

bool HasVersionedExtension(const std::wstring& lowerName) {
  for (const wchar_t* extension : kVersionedExtensions) {
    size_t length = wcslen(extension);
    if (lowerName.size() > length && lowerName.compare(lowerName.size() - length, length, extension) == 0) return true;
  }
  return false;
}

std::string TimeText(const FILETIME& time) {
  SYSTEMTIME utc = {};
  FileTimeToSystemTime(&time, &utc);
  char text[32];
  std::snprintf(text, sizeof(text), "%04u-%02u-%02u %02u:%02u:%02u", utc.wYear, utc.wMonth, utc.wDay, utc.wHour,
                utc.wMinute, utc.wSecond);
  return text;
}

std::string AttributeText(DWORD attributes) {
  std::string text;
  if (attributes & FILE_ATTRIBUTE_READONLY) text += 'R';
  if (attributes & FILE_ATTRIBUTE_HIDDEN) text += 'H';
  if (attributes & FILE_ATTRIBUTE_SYSTEM) text += 'S';
  if (attributes & FILE_ATTRIBUTE_ARCHIVE) text += 'A';
  return text;
}

class FindHandle {
 public:
  explicit FindHandle(HANDLE handle) : handle_(handle) {}
  ~FindHandle() {
    if (handle_ != INVALID_HANDLE_VALUE) FindClose(handle_);
  }
  FindHandle(const FindHandle&) = delete;
  FindHandle& operator=(const FindHandle&) = delete;
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

void WalkFolder(const std::wstring& folder, const SnapshotOptions& options, const std::vector<std::wstring>& skipped,
                State* state) {
  WIN32_FIND_DATAW entry;
  FindHandle find(FindFirstFileExW((folder + L"*").c_str(), FindExInfoBasic, &entry, FindExSearchNameMatch, nullptr,
                                   FIND_FIRST_EX_LARGE_FETCH));
  if (find.get() == INVALID_HANDLE_VALUE) return;
  do {
    std::wstring name = entry.cFileName;
    if (name == L"." || name == L"..") continue;
    std::wstring path = folder + name;
    std::wstring lower = Lower(path);
    bool skip = false;
    for (const std::wstring& folderToSkip : skipped) skip = skip || StartsWithFolder(lower, folderToSkip);
    if (skip) continue;
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      Add(state, ItemKind::kFolder, path + L"\\", {{"path", Utf8(path + L"\\")}});
      // A reparse point (a link Wine made to a folder elsewhere) is listed, not entered.
      if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) WalkFolder(path + L"\\", options, skipped, state);
      continue;
    }
    unsigned long long size = (static_cast<unsigned long long>(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow;
    std::string sizeText = std::to_string(size), timeText = TimeText(entry.ftLastWriteTime);
    std::string version;
    const Item* cached = nullptr;
    if (options.versionCache != nullptr) {
      auto found = options.versionCache->find({ItemKind::kFile, Utf8(lower)});
      if (found != options.versionCache->end()) cached = &found->second;
    }
    const std::string *cachedSize = cached ? cached->Field("size") : nullptr, *cachedTime = cached ? cached->Field("time") : nullptr;
    if (cachedSize != nullptr && cachedTime != nullptr && *cachedSize == sizeText && *cachedTime == timeText) {
      const std::string* cachedVersion = cached->Field("version");
      if (cachedVersion != nullptr) version = *cachedVersion;
    } else if (HasVersionedExtension(lower)) {
      version = FileVersion(path);
    }
    std::vector<std::pair<std::string, std::string>> fields = {
        {"path", Utf8(path)}, {"size", sizeText}, {"time", timeText}, {"attributes", AttributeText(entry.dwFileAttributes)}};
    if (!version.empty()) fields.push_back({"version", version});
    Add(state, ItemKind::kFile, path, std::move(fields));
  } while (FindNextFileW(find.get(), &entry));
}

void TakeFiles(const SnapshotOptions& options, State* state) {
  std::vector<std::wstring> skipped;
  for (const std::wstring& folder : options.skipFolders) skipped.push_back(Lower(folder));
  wchar_t windows[MAX_PATH] = L"";
  GetWindowsDirectoryW(windows, MAX_PATH);
  skipped.push_back(Lower(std::wstring(windows) + L"\\wininit.ini"));  // a restart item
  DWORD drives = GetLogicalDrives();
  for (int letter = 0; letter < 26; ++letter) {
    if (!(drives & (1u << letter))) continue;
    std::wstring root = std::wstring(1, static_cast<wchar_t>(L'A' + letter)) + L":\\";
    if (GetDriveTypeW(root.c_str()) == DRIVE_FIXED) WalkFolder(root, options, skipped, state);
  }
}

// ---- Registry -------------------------------------------------------------------------

// A key opened for reading in the 64-bit view, or none.
void OpenKey(HKEY parent, const std::wstring& path, RegKey* key) {
  if (RegOpenKeyExW(parent, path.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, key->receive()) != ERROR_SUCCESS) {
    *key->receive() = nullptr;
  }
}

const char* TypeName(DWORD type) {
  switch (type) {
    case REG_SZ: return "REG_SZ";
    case REG_EXPAND_SZ: return "REG_EXPAND_SZ";
    case REG_MULTI_SZ: return "REG_MULTI_SZ";
    case REG_DWORD: return "REG_DWORD";
    case REG_QWORD: return "REG_QWORD";
    case REG_BINARY: return "REG_BINARY";
    case REG_NONE: return "REG_NONE";
    default: return "REG_OTHER";
  }
}

// Strings as text, lists with " | " between their items, numbers in hexadecimal and decimal,
// anything else as hexadecimal bytes.
std::string DataText(DWORD type, const unsigned char* data, DWORD size) {
  if (type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ) {
    std::wstring text(reinterpret_cast<const wchar_t*>(data), size / sizeof(wchar_t));
    while (!text.empty() && text.back() == L'\0') text.pop_back();
    for (size_t zero = text.find(L'\0'); zero != std::wstring::npos; zero = text.find(L'\0', zero)) {
      text.replace(zero, 1, L" | ");
    }
    return Utf8(text);
  }
  char number[64];
  if (type == REG_DWORD && size == 4) {
    unsigned long value = 0;
    memcpy(&value, data, 4);
    std::snprintf(number, sizeof(number), "0x%08lx (%lu)", value, value);
    return number;
  }
  if (type == REG_QWORD && size == 8) {
    unsigned long long value = 0;
    memcpy(&value, data, 8);
    std::snprintf(number, sizeof(number), "0x%016llx (%llu)", value, value);
    return number;
  }
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (DWORD i = 0; i < size; ++i) {
    if (i > 0) hex += ' ';
    hex += kDigits[data[i] >> 4];
    hex += kDigits[data[i] & 15];
  }
  return hex;
}

void WalkKey(HKEY root, const std::wstring& rootName, const std::wstring& path, const std::vector<std::wstring>& skipped,
             State* state) {
  std::wstring name = path.empty() ? rootName : rootName + L"\\" + path;
  std::wstring lower = Lower(name);
  for (const std::wstring& skip : skipped) {
    if (StartsWithFolder(lower, skip)) return;
  }
  RegKey key;
  OpenKey(root, path, &key);
  if (key.get() == nullptr) return;
  if (!path.empty()) Add(state, ItemKind::kRegistryKey, name, {{"key", Utf8(name)}});

  DWORD subkeys = 0, longestSubkey = 0, values = 0, longestName = 0, longestData = 0;
  if (RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &subkeys, &longestSubkey, nullptr, &values, &longestName,
                       &longestData, nullptr, nullptr) != ERROR_SUCCESS) {
    return;
  }
  const bool renamesKey = lower == Lower(std::wstring(L"HKLM\\") + kRenamesKey);
  std::vector<wchar_t> valueName(longestName + 2);
  std::vector<unsigned char> data(longestData + 2);
  for (DWORD i = 0; i < values; ++i) {
    DWORD nameChars = static_cast<DWORD>(valueName.size()), dataSize = static_cast<DWORD>(data.size()), type = 0;
    if (RegEnumValueW(key.get(), i, valueName.data(), &nameChars, nullptr, &type, data.data(), &dataSize) != ERROR_SUCCESS) {
      continue;
    }
    std::wstring value(valueName.data(), nameChars);
    if (renamesKey && Lower(value) == Lower(kRenamesValue)) continue;
    Add(state, ItemKind::kRegistryValue, name + L"\n" + value,
        {{"key", Utf8(name)}, {"name", Utf8(value)}, {"type", TypeName(type)}, {"data", DataText(type, data.data(), dataSize)}});
  }
  std::vector<std::wstring> children;
  std::vector<wchar_t> childName(longestSubkey + 2);
  for (DWORD i = 0; i < subkeys; ++i) {
    DWORD chars = static_cast<DWORD>(childName.size());
    if (RegEnumKeyExW(key.get(), i, childName.data(), &chars, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS) {
      children.emplace_back(childName.data(), chars);
    }
  }
  for (const std::wstring& child : children) {
    WalkKey(root, rootName, path.empty() ? child : path + L"\\" + child, skipped, state);
  }
}

void TakeRegistry(State* state) {
  std::vector<std::wstring> skipped;
  for (const wchar_t* key : kSkippedKeys) skipped.push_back(Lower(key));
  WalkKey(HKEY_LOCAL_MACHINE, L"HKLM", L"", skipped, state);
  WalkKey(HKEY_CURRENT_USER, L"HKCU", L"", skipped, state);
}

// ---- Services -------------------------------------------------------------------------

const char* StateName(DWORD current) {
  switch (current) {
    case SERVICE_STOPPED: return "stopped";
    case SERVICE_START_PENDING: return "starting";
    case SERVICE_STOP_PENDING: return "stopping";
    case SERVICE_RUNNING: return "running";
    case SERVICE_CONTINUE_PENDING: return "continuing";
    case SERVICE_PAUSE_PENDING: return "pausing";
    case SERVICE_PAUSED: return "paused";
    default: return "unknown";
  }
}

const char* StartName(DWORD start) {
  switch (start) {
    case SERVICE_BOOT_START: return "boot";
    case SERVICE_SYSTEM_START: return "system";
    case SERVICE_AUTO_START: return "automatic";
    case SERVICE_DEMAND_START: return "manual";
    case SERVICE_DISABLED: return "disabled";
    default: return "unknown";
  }
}

void TakeServices(State* state) {
  ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ENUMERATE_SERVICE | SC_MANAGER_CONNECT));
  if (manager.get() == nullptr) return;
  DWORD needed = 0, count = 0, resume = 0;
  EnumServicesStatusExW(manager.get(), SC_ENUM_PROCESS_INFO, SERVICE_WIN32 | SERVICE_DRIVER, SERVICE_STATE_ALL, nullptr,
                        0, &needed, &count, &resume, nullptr);
  std::vector<unsigned char> buffer(needed + 1024);
  resume = 0;
  if (!EnumServicesStatusExW(manager.get(), SC_ENUM_PROCESS_INFO, SERVICE_WIN32 | SERVICE_DRIVER, SERVICE_STATE_ALL,
                             buffer.data(), static_cast<DWORD>(buffer.size()), &needed, &count, &resume, nullptr)) {
    return;
  }
  auto* services = reinterpret_cast<ENUM_SERVICE_STATUS_PROCESSW*>(buffer.data());
  for (DWORD i = 0; i < count; ++i) {
    const ENUM_SERVICE_STATUS_PROCESSW& service = services[i];
    std::string start = "unknown";
    ServiceHandle handle(OpenServiceW(manager.get(), service.lpServiceName, SERVICE_QUERY_CONFIG));
    DWORD configSize = 0;
    if (handle.get() != nullptr) {
      QueryServiceConfigW(handle.get(), nullptr, 0, &configSize);
      std::vector<unsigned char> config(configSize + 16);
      if (QueryServiceConfigW(handle.get(), reinterpret_cast<QUERY_SERVICE_CONFIGW*>(config.data()),
                              static_cast<DWORD>(config.size()), &configSize)) {
        start = StartName(reinterpret_cast<QUERY_SERVICE_CONFIGW*>(config.data())->dwStartType);
      }
    }
    Add(state, ItemKind::kService, service.lpServiceName,
        {{"name", Utf8(service.lpServiceName)},
         {"display", Utf8(service.lpDisplayName ? service.lpDisplayName : L"")},
         {"state", StateName(service.ServiceStatusProcess.dwCurrentState)},
         {"start", start}});
  }
}

// ---- What the next start carries out --------------------------------------------------

// NT's pending renames are pairs: the file, then where it goes; an empty second item (no
// text) deletes it. Paths carry the \??\ of NT's object names, which the report leaves off.
std::wstring DosPath(std::wstring path) {
  if (!path.empty() && path[0] == L'!') path.erase(0, 1);  // "replace an existing file"
  if (path.compare(0, 4, L"\\??\\") == 0) path.erase(0, 4);
  return path;
}

void AddRestart(State* state, const std::wstring& from, const std::wstring& to, const char* source) {
  std::vector<std::pair<std::string, std::string>> fields = {{"path", Utf8(from)},
                                                             {"operation", to.empty() ? "delete" : "rename"}};
  if (!to.empty()) fields.push_back({"target", Utf8(to)});
  fields.push_back({"source", source});
  Add(state, ItemKind::kRestart, from + L"\n" + to + L"\n" + Wide(source), std::move(fields));
}

void TakeRestart(State* state) {
  RegKey key;
  OpenKey(HKEY_LOCAL_MACHINE, kRenamesKey, &key);
  DWORD type = 0, size = 0;
  if (key.get() != nullptr && RegQueryValueExW(key.get(), kRenamesValue, nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
      type == REG_MULTI_SZ) {
    std::vector<wchar_t> list(size / sizeof(wchar_t) + 2, L'\0');
    RegQueryValueExW(key.get(), kRenamesValue, nullptr, nullptr, reinterpret_cast<BYTE*>(list.data()), &size);
    std::vector<std::wstring> items;
    // The list ends at its size, not at the first empty item: a deletion's target is empty.
    size_t chars = size / sizeof(wchar_t);
    for (size_t at = 0; at < chars;) {
      std::wstring item(list.data() + at);
      items.push_back(item);
      at += item.size() + 1;
    }
    for (size_t i = 0; i + 1 < items.size(); i += 2) {
      if (items[i].empty()) break;
      AddRestart(state, DosPath(items[i]), DosPath(items[i + 1]), "PendingFileRenameOperations");
    }
  }
  // wininit.ini's [rename] lines read target=source; the target NUL deletes the source.
  wchar_t windows[MAX_PATH] = L"";
  GetWindowsDirectoryW(windows, MAX_PATH);
  std::wstring ini = std::wstring(windows) + L"\\wininit.ini";
  std::vector<wchar_t> section(32768, L'\0');
  DWORD length = GetPrivateProfileSectionW(L"rename", section.data(), static_cast<DWORD>(section.size()), ini.c_str());
  for (size_t at = 0; at < length && section[at] != L'\0';) {
    std::wstring line(section.data() + at);
    at += line.size() + 1;
    size_t equals = line.find(L'=');
    if (equals == std::wstring::npos) continue;
    std::wstring target = line.substr(0, equals), source = line.substr(equals + 1);
    AddRestart(state, source, Lower(target) == L"nul" ? L"" : target, "wininit.ini");
  }
}

// ---- Wine's first window --------------------------------------------------------------

int CALLBACK CountFont(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM) { return 1; }

// The first program of a Wine session that uses a window or a font starts the desktop and
// the font list, and these write to the registry (the display's keys, the fonts found on
// Linux). Done here before the state is taken, that churn never falls into a script's run.
void SettleWine() {
  GetDesktopWindow();
  HDC screen = GetDC(nullptr);
  if (screen == nullptr) return;
  LOGFONTW any = {};
  any.lfCharSet = DEFAULT_CHARSET;
  EnumFontFamiliesExW(screen, &any, CountFont, 0, 0);
  ReleaseDC(nullptr, screen);
}

// ---- The state file -------------------------------------------------------------------

std::string Escape(const std::string& text) {
  std::string escaped;
  for (char c : text) {
    if (c == '\\') escaped += "\\\\";
    else if (c == '\t') escaped += "\\t";
    else if (c == '\n') escaped += "\\n";
    else if (c == '\r') escaped += "\\r";
    else escaped += c;
  }
  return escaped;
}

std::string Unescape(const std::string& text) {
  std::string plain;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      plain += text[i];
      continue;
    }
    char next = text[++i];
    plain += next == 't' ? '\t' : next == 'n' ? '\n' : next == 'r' ? '\r' : next;
  }
  return plain;
}

std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t tab = line.find('\t'); tab != std::string::npos; tab = line.find('\t', start)) {
    parts.push_back(line.substr(start, tab - start));
    start = tab + 1;
  }
  parts.push_back(line.substr(start));
  return parts;
}

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

}  // namespace

const std::string* Item::Field(const char* key) const {
  for (const auto& field : fields) {
    if (field.first == key) return &field.second;
  }
  return nullptr;
}

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return "";
  int bytes = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &narrow[0], bytes, nullptr, nullptr);
  return narrow;
}

std::wstring Wide(const std::string& text) {
  if (text.empty()) return L"";
  int chars = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(chars), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &wide[0], chars);
  return wide;
}

State TakeSnapshot(const SnapshotOptions& options) {
  SettleWine();
  State state;
  TakeFiles(options, &state);
  TakeRegistry(&state);
  TakeServices(&state);
  TakeRestart(&state);
  return state;
}

// One line per item: its kind, its id, then key and value of each field, tab-separated.
bool SaveState(const State& state, const std::wstring& path) {
  File file(_wfopen(path.c_str(), L"wb"));
  if (!file) return false;
  for (const auto& entry : state) {
    std::string line = std::to_string(static_cast<int>(entry.first.first)) + "\t" + Escape(entry.first.second);
    for (const auto& field : entry.second.fields) line += "\t" + Escape(field.first) + "\t" + Escape(field.second);
    line += "\n";
    if (std::fwrite(line.data(), 1, line.size(), file.get()) != line.size()) return false;
  }
  return std::fflush(file.get()) == 0;
}

bool LoadState(const std::wstring& path, State* state) {
  File file(_wfopen(path.c_str(), L"rb"));
  if (!file) return false;
  std::string text;
  char buffer[65536];
  for (size_t read; (read = std::fread(buffer, 1, sizeof(buffer), file.get())) > 0;) text.append(buffer, read);
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::vector<std::string> parts = SplitTabs(text.substr(start, end - start));
    start = end + 1;
    if (parts.size() < 2 || parts.size() % 2 != 0) return false;  // kind, id, then pairs
    Item item;
    int kind = std::atoi(parts[0].c_str());
    if (kind < 0 || kind > static_cast<int>(ItemKind::kRestart)) return false;
    item.kind = static_cast<ItemKind>(kind);
    for (size_t i = 2; i + 1 < parts.size(); i += 2) item.fields.push_back({Unescape(parts[i]), Unescape(parts[i + 1])});
    (*state)[{item.kind, Unescape(parts[1])}] = std::move(item);
  }
  return true;
}
