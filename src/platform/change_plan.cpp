#include "platform/change_plan.h"

#include <cstring>
#include <string>
#include <vector>

#include "platform/change_door.h"
#include "platform/change_line.h"
#include "platform/file_version.h"
#include "platform/plan_state.h"
#include "platform/registry_tree.h"
#include "platform/safe_rewrite.h"
#include "platform/win32_handles.h"
#include "platform/windows_family.h"

namespace {

int g_answer = 0;  // /WhatIfAnswer=: IDYES, IDNO, or 0 for each box's default

bool Describing() { return CurrentDoorMode() == DoorMode::kDescribe; }

// A change the machine shows would be refused: the call fails with the Win32 error it would give.
BOOL Refuse(DWORD error) {
  SetLastError(error);
  return FALSE;
}

PlanOrigin Origin() {
  PlanOrigin origin;
  origin.line = ChangeLine();
  origin.command = ChangeCommand();
  origin.step = ChangeStep();
  return origin;
}

// A query line answered from a change another line only planned: the plan from the next
// line on rests on that change.
void AnsweredFromPlan(const PlanOrigin& origin) {
  if (ChangeLineIsQuery() && origin.step != ChangeStep()) AssumeFromNextLine(origin.line, origin.command);
}

// Control characters of a message or value become blanks: one plan entry, one log line.
std::string OneLine(const std::string& text) {
  std::string line = text;
  for (char& c : line) {
    if (static_cast<unsigned char>(c) < 0x20) c = ' ';
  }
  return line;
}

std::string Quoted(const std::string& text) { return "'" + OneLine(text) + "'"; }

std::string Grouped(unsigned long long number) {
  std::string digits = std::to_string(number);
  for (size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, ",");
  return digits;
}

// The folder a path lies in ("C:\" for a file at the top of a drive), or "" for a bare name.
std::string ParentOf(const std::string& path) {
  const size_t slash = path.find_last_of('\\');
  if (slash == std::string::npos) return "";
  std::string parent = path.substr(0, slash);
  if (parent.size() == 2 && parent[1] == ':') parent += '\\';
  return parent;
}

bool FolderThroughPlan(const std::string& folder) {
  if (folder.empty()) return true;
  const DWORD attributes = DoorFileAttributes(folder.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// "(5.4.0.12, 1,204,224 bytes)" of the file whose bytes `path` holds, "" when it is not there.
std::string Described(const std::string& path) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(path.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return "";
  FindClose(search);
  const unsigned long long size = (static_cast<unsigned long long>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
  char version[64];
  ReadFileVersion(path.c_str(), version, sizeof(version));
  const std::string versionText = std::strcmp(version, "0") == 0 ? "" : std::string(version) + ", ";
  return "(" + versionText + Grouped(size) + " bytes)";
}

// A file as the plan leaves it: a rewritten one by its planned text, a copied one by its source.
std::string DescribedThroughPlan(const char* path) {
  const PlannedPath* planned = PlannedPathAt(path);
  if (planned != nullptr && planned->hasText) return "(" + Grouped(planned->text.size()) + " bytes)";
  return Described(DoorContentPath(path));
}

// Whether another program holds the file so that it could not be written or deleted now.
bool HeldNow(const char* path, DWORD access) {
  const DWORD share = IsNtFamily() ? FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE : 0;
  KernelHandle file(CreateFileA(path, IsNtFamily() ? access : GENERIC_READ, share, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  return file.get() == nullptr && GetLastError() == ERROR_SHARING_VIOLATION;
}

std::string AttributeWords(DWORD attributes) {
  static const struct {
    DWORD bit;
    const char* word;
  } kWords[] = {{FILE_ATTRIBUTE_READONLY, "read-only"}, {FILE_ATTRIBUTE_HIDDEN, "hidden"},
                {FILE_ATTRIBUTE_SYSTEM, "system"}};
  std::string words;
  for (const auto& row : kWords) {
    if ((attributes & row.bit) != 0) words += (words.empty() ? "" : ", ") + std::string(row.word);
  }
  return words.empty() ? "normal" : words;
}

// Whether a folder would be empty: each entry it holds gone in the plan, none planned into it.
bool EmptyThroughPlan(const std::string& folder) {
  if (!PlannedPathsIn(folder).empty()) return false;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return true;
  bool empty = true;
  do {
    if (std::strcmp(found.cFileName, ".") == 0 || std::strcmp(found.cFileName, "..") == 0) continue;
    const PlannedPath* planned = PlannedPathAt(folder + "\\" + found.cFileName);
    empty = planned != nullptr && planned->state == PlannedPathState::kGone;
  } while (empty && FindNextFileA(search, &found));
  FindClose(search);
  return empty;
}

// The registry as the plan leaves it.

std::string KeyName(HKEY root, const std::string& path) { return std::string(RootKeyName(root)) + "\\" + path; }
std::string ValueName(HKEY root, const std::string& path, const std::string& name) {
  return KeyName(root, path) + "," + name;
}

const char* TypeName(DWORD type) {
  static const struct {
    DWORD type;
    const char* name;
  } kTypes[] = {{REG_SZ, "REG_SZ"},         {REG_EXPAND_SZ, "REG_EXPAND_SZ"}, {REG_BINARY, "REG_BINARY"},
                {REG_DWORD, "REG_DWORD"},   {REG_MULTI_SZ, "REG_MULTI_SZ"},   {REG_NONE, "REG_NONE"},
                {REG_QWORD, "REG_QWORD"},   {REG_DWORD_BIG_ENDIAN, "REG_DWORD_BIG_ENDIAN"}};
  for (const auto& row : kTypes) {
    if (row.type == type) return row.name;
  }
  return "REG_?";
}

// Strings quoted up to their terminator, a DWORD as its number, anything else as its bytes.
std::string DataText(DWORD type, const std::string& data) {
  if (type == REG_SZ || type == REG_EXPAND_SZ) return Quoted(data.substr(0, data.find('\0')));
  if (type == REG_DWORD && data.size() >= sizeof(DWORD)) {
    DWORD number = 0;
    std::memcpy(&number, data.data(), sizeof(number));
    return std::to_string(number);
  }
  constexpr size_t kShownBytes = 32;
  static const char kHex[] = "0123456789abcdef";
  std::string bytes;
  for (size_t i = 0; i < data.size() && i < kShownBytes; ++i) {
    const unsigned char byte = static_cast<unsigned char>(data[i]);
    bytes += (i == 0 ? "" : " ") + std::string{kHex[byte >> 4], kHex[byte & 15]};
  }
  return "hex:" + bytes + (data.size() > kShownBytes ? " ..." : "");
}

bool KeyThroughPlan(HKEY root, const std::string& path, REGSAM access) {
  if (const PlannedRegKey* planned = PlannedRegKeyAt(RootKeyNumber(root), path)) {
    AnsweredFromPlan(planned->origin);
    return planned->exists;
  }
  RegKey key;
  return RegOpenKeyExA(root, path.c_str(), 0, access, key.receive()) == ERROR_SUCCESS;
}

bool ValueThroughPlan(HKEY root, const std::string& path, const std::string& name, DWORD* type, std::string* data) {
  if (const PlannedRegValue* planned = PlannedRegValueAt(RootKeyNumber(root), path, name)) {
    AnsweredFromPlan(planned->origin);
    *type = planned->type;
    *data = planned->data;
    return planned->exists;
  }
  if (!KeyThroughPlan(root, path, KEY_READ)) return false;
  RegKey key;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, key.receive()) != ERROR_SUCCESS) return false;
  return ReadRegValue(key.get(), name.c_str(), type, data);
}

bool CountsThroughPlan(HKEY root, const std::string& path, DWORD* subkeys, DWORD* values) {
  *subkeys = 0;
  *values = 0;
  const uint32_t number = RootKeyNumber(root);
  const PlannedRegKey* planned = PlannedRegKeyAt(number, path);
  if (planned != nullptr) AnsweredFromPlan(planned->origin);
  if (planned != nullptr && !planned->exists) return false;
  RegKey key;
  const bool real = RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, key.receive()) == ERROR_SUCCESS;
  if (!real && planned == nullptr) return false;
  if (real) {
    RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, subkeys, nullptr, nullptr, values, nullptr, nullptr,
                     nullptr, nullptr);
  }
  // Each planned child counts where it differs from the machine.
  for (const PlannedChild& child : PlannedChildrenOf(number, path)) {
    bool there = false;
    if (real && child.isKey) {
      RegKey sub;
      there = RegOpenKeyExA(key.get(), child.name.c_str(), 0, KEY_READ, sub.receive()) == ERROR_SUCCESS;
    } else if (real) {
      there = RegQueryValueExA(key.get(), child.name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    }
    if (there == child.exists) continue;
    AnsweredFromPlan(child.origin);
    DWORD* count = child.isKey ? subkeys : values;
    *count = child.exists ? *count + 1 : (*count > 0 ? *count - 1 : 0);
  }
  return true;
}

PlannedPath PlannedFile(const std::string& source, DWORD attributes) {
  PlannedPath planned;
  planned.state = PlannedPathState::kFile;
  planned.source = source;
  planned.attributes = attributes;
  planned.origin = Origin();
  return planned;
}

PlannedPath PlannedGone() {
  PlannedPath planned;
  planned.origin = Origin();
  return planned;
}

}  // namespace

void StartDescribing() {
  StartPlan();
  ClearPlannedState();
}

void PlanNoteOpaque(const char*) { AssumeFromNextLine(ChangeLine(), ChangeCommand()); }

// Files and folders.

BOOL PlanCopyFile(const char* source, const char* target) {
  const DWORD sourceAttributes = DoorFileAttributes(source);
  if (sourceAttributes == INVALID_FILE_ATTRIBUTES || (sourceAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return Refuse(ERROR_FILE_NOT_FOUND);
  }
  const DWORD targetAttributes = DoorFileAttributes(target);
  const bool replaces = targetAttributes != INVALID_FILE_ATTRIBUTES;
  // CopyFileA refuses a folder or a read-only file.
  if (replaces && (targetAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0) {
    return Refuse(ERROR_ACCESS_DENIED);
  }
  if (!FolderThroughPlan(ParentOf(target))) return Refuse(ERROR_PATH_NOT_FOUND);
  const std::string content = DoorContentPath(source);
  const std::string before = replaces ? DescribedThroughPlan(target) : "";
  const std::string after = Described(content);
  std::string text = replaces ? "Would replace " + std::string(target) + " " + before + " with " + source + " " + after
                              : "Would copy " + std::string(source) + " " + after + " to " + target;
  if (replaces && PlannedPathAt(target) == nullptr && HeldNow(target, GENERIC_WRITE)) {
    text += "; another program holds it now";
  }
  AddPlanEntry(PlanKind::kFile, target, before, after, text);
  PlanPath(target, PlannedFile(content, sourceAttributes & ~FILE_ATTRIBUTE_DIRECTORY));
  return TRUE;
}

BOOL PlanDeleteFile(const char* path) {
  const DWORD attributes = DoorFileAttributes(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) return Refuse(ERROR_FILE_NOT_FOUND);
  if ((attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0) return Refuse(ERROR_ACCESS_DENIED);
  // A file another program holds: the caller schedules it for the restart.
  if (PlannedPathAt(path) == nullptr && HeldNow(path, DELETE)) return Refuse(ERROR_SHARING_VIOLATION);
  const std::string before = DescribedThroughPlan(path);
  AddPlanEntry(PlanKind::kFile, path, before, "", "Would delete " + std::string(path) + " " + before);
  PlanPath(path, PlannedGone());
  return TRUE;
}

// Only what a person sees changes the plan: read-only, hidden and system. Clearing the
// archive bit before a deletion or a copy is no entry of its own.
BOOL PlanSetFileAttributes(const char* path, DWORD attributes) {
  const DWORD before = DoorFileAttributes(path);
  if (before == INVALID_FILE_ATTRIBUTES) return Refuse(ERROR_FILE_NOT_FOUND);
  constexpr DWORD kSeen = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  if ((before & kSeen) == (attributes & kSeen)) return TRUE;
  AddPlanEntry(PlanKind::kFile, path, AttributeWords(before), AttributeWords(attributes),
               "Would make " + std::string(path) + " " + AttributeWords(attributes) + " (now " +
                   AttributeWords(before) + ")");
  PlannedPath planned = PlannedPathAt(path) != nullptr ? *PlannedPathAt(path) : PlannedFile("", 0);
  planned.state = (before & FILE_ATTRIBUTE_DIRECTORY) != 0 ? PlannedPathState::kFolder : PlannedPathState::kFile;
  planned.attributes = (attributes & ~FILE_ATTRIBUTE_DIRECTORY) | (before & FILE_ATTRIBUTE_DIRECTORY);
  planned.origin = Origin();
  PlanPath(path, planned);
  return TRUE;
}

BOOL PlanCreateFolder(const char* path) {
  if (DoorFileAttributes(path) != INVALID_FILE_ATTRIBUTES) return Refuse(ERROR_ALREADY_EXISTS);
  if (!FolderThroughPlan(ParentOf(path))) return Refuse(ERROR_PATH_NOT_FOUND);
  AddPlanEntry(PlanKind::kFolder, path, "", "folder", "Would create folder " + std::string(path));
  PlannedPath planned = PlannedFile("", FILE_ATTRIBUTE_DIRECTORY);
  planned.state = PlannedPathState::kFolder;
  PlanPath(path, planned);
  return TRUE;
}

BOOL PlanRemoveFolder(const char* path) {
  const DWORD attributes = DoorFileAttributes(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) return Refuse(ERROR_FILE_NOT_FOUND);
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return Refuse(ERROR_DIRECTORY);
  if (!EmptyThroughPlan(path)) return Refuse(ERROR_DIR_NOT_EMPTY);
  AddPlanEntry(PlanKind::kFolder, path, "folder", "", "Would remove folder " + std::string(path));
  PlanPath(path, PlannedGone());
  return TRUE;
}

void PlanScheduleDelete(const char* path) {
  AddPlanEntry(PlanKind::kRestartDelete, path, "", "", "Would schedule " + std::string(path) + " for deletion at restart");
}

bool PlanReplaceFileText(const char* path, const std::string& text) {
  const DWORD attributes = DoorFileAttributes(path);
  std::string old;
  if (attributes == INVALID_FILE_ATTRIBUTES || !DoorReadFileText(path, &old)) return false;
  AddPlanEntry(PlanKind::kTextFile, path, Grouped(old.size()) + " bytes", Grouped(text.size()) + " bytes",
               "Would rewrite " + std::string(path) + " (" + Grouped(text.size()) + " bytes, now " +
                   Grouped(old.size()) + ")");
  PlannedPath planned = PlannedFile("", attributes);
  planned.hasText = true;
  planned.text = text;
  PlanPath(path, planned);
  return true;
}

BOOL PlanWriteIniValue(const char* section, const char* key, const char* value, const char* file) {
  if (!FolderThroughPlan(ParentOf(file))) return Refuse(ERROR_PATH_NOT_FOUND);
  std::string text;
  const DWORD attributes = DoorFileAttributes(file);
  if (attributes != INVALID_FILE_ATTRIBUTES) DoorReadFileText(file, &text);
  const std::string target = std::string(file) + " [" + section + "] " + key;
  std::string old;
  const bool had = IniTextValue(text, section, key, &old);
  const std::string sentence = had ? "Would set [" + std::string(section) + "] " + key + " in " + file + " from " +
                                         Quoted(old) + " to " + Quoted(value)
                                   : "Would add [" + std::string(section) + "] " + key + " = " + Quoted(value) +
                                         " to " + file;
  AddPlanEntry(PlanKind::kIniValue, target, had ? old : "", value, sentence);
  PlannedPath planned = PlannedFile("", attributes != INVALID_FILE_ATTRIBUTES ? attributes : FILE_ATTRIBUTE_ARCHIVE);
  planned.hasText = true;
  planned.text = WithIniValue(text, section, key, value);
  PlanPath(file, planned);
  return TRUE;
}

HRESULT PlanShortcut(const char* path, const char* target) {
  if (!FolderThroughPlan(ParentOf(path))) return E_FAIL;
  const bool replaces = DoorFileAttributes(path) != INVALID_FILE_ATTRIBUTES;
  AddPlanEntry(PlanKind::kShortcut, path, replaces ? "shortcut" : "", target,
               std::string(replaces ? "Would replace shortcut " : "Would write shortcut ") + path + " to " + target);
  PlanPath(path, PlannedFile("", FILE_ATTRIBUTE_ARCHIVE));
  return S_OK;
}

BOOL PlanFolderSecurity(const char* path) {
  AddPlanEntry(PlanKind::kAccess, path, "", "everyone: full control",
               "Would give everyone full control of folder " + std::string(path));
  return TRUE;
}

// The registry.

LONG PlanSetRegValue(HKEY root, const char* keyPath, const char* name, DWORD type, const BYTE* data, DWORD size) {
  if (!KeyThroughPlan(root, keyPath, KEY_READ | KEY_WRITE)) return ERROR_FILE_NOT_FOUND;
  DWORD oldType = 0;
  std::string old;
  const bool had = ValueThroughPlan(root, keyPath, name, &oldType, &old);
  const std::string fresh(reinterpret_cast<const char*>(data), size);
  const std::string target = ValueName(root, keyPath, name);
  const std::string before = had ? DataText(oldType, old) : "";
  const std::string after = DataText(type, fresh);
  const std::string typed = target + " (" + TypeName(type) + ")";
  AddPlanEntry(PlanKind::kRegistryValue, target, before, after,
               had ? "Would set " + typed + " from " + before + " to " + after
                   : "Would set " + typed + " to " + after + " (a new value)");
  PlannedRegValue planned;
  planned.exists = true;
  planned.type = type;
  planned.data = fresh;
  planned.origin = Origin();
  PlanRegValue(RootKeyNumber(root), keyPath, name, planned);
  return ERROR_SUCCESS;
}

LONG PlanDeleteRegValue(HKEY root, const char* keyPath, const char* name) {
  if (!KeyThroughPlan(root, keyPath, KEY_WRITE)) return ERROR_FILE_NOT_FOUND;
  DWORD type = 0;
  std::string old;
  if (!ValueThroughPlan(root, keyPath, name, &type, &old)) return ERROR_FILE_NOT_FOUND;
  const std::string target = ValueName(root, keyPath, name);
  const std::string before = DataText(type, old);
  AddPlanEntry(PlanKind::kRegistryValue, target, before, "",
               "Would delete " + target + " (" + TypeName(type) + " " + before + ")");
  PlannedRegValue planned;
  planned.origin = Origin();
  PlanRegValue(RootKeyNumber(root), keyPath, name, planned);
  return ERROR_SUCCESS;
}

LONG PlanCreateRegKey(HKEY root, const char* parentPath, const char* name) {
  if (!KeyThroughPlan(root, parentPath, KEY_WRITE)) return ERROR_FILE_NOT_FOUND;
  std::string path = parentPath;
  std::vector<std::string> missing;  // each key of the new path that is not there yet
  for (const char* part = name; *part != '\0';) {
    const char* end = std::strchr(part, '\\');
    const size_t length = end != nullptr ? static_cast<size_t>(end - part) : std::strlen(part);
    if (length > 0) {
      path += (path.empty() ? "" : "\\") + std::string(part, length);
      if (!missing.empty() || !KeyThroughPlan(root, path, KEY_READ)) missing.push_back(path);
    }
    part += length;
    if (*part == '\\') ++part;
  }
  if (missing.empty()) return ERROR_SUCCESS;
  AddPlanEntry(PlanKind::kRegistryKey, KeyName(root, path), "", "key", "Would create key " + KeyName(root, path));
  for (const std::string& key : missing) PlanRegKey(RootKeyNumber(root), key, true, Origin());
  return ERROR_SUCCESS;
}

// RegDeleteKeyA: on the NT family only a key without subkeys goes; on the 9x family the tree.
LONG PlanDeleteRegKey(HKEY root, const char* keyPath) {
  DWORD subkeys = 0, values = 0;
  if (!CountsThroughPlan(root, keyPath, &subkeys, &values)) return ERROR_FILE_NOT_FOUND;
  if (IsNtFamily() && subkeys > 0) return ERROR_ACCESS_DENIED;
  const std::string target = KeyName(root, keyPath);
  std::string text = "Would delete key " + target;
  if (subkeys > 0) text += " with everything under it";
  if (values > 0) text += " (" + Grouped(values) + (values == 1 ? " value)" : " values)");
  AddPlanEntry(PlanKind::kRegistryKey, target, "key", "", text);
  PlanRegKey(RootKeyNumber(root), keyPath, false, Origin());
  return ERROR_SUCCESS;
}

void PlanDeleteRegKeyTree(HKEY root, const char* keyPath) {
  if (!KeyThroughPlan(root, keyPath, KEY_READ)) return;
  const std::string target = KeyName(root, keyPath);
  AddPlanEntry(PlanKind::kRegistryKey, target, "key", "", "Would delete key " + target + " with everything under it");
  PlanRegKey(RootKeyNumber(root), keyPath, false, Origin());
}

// Services.

BOOL PlanStopService(const char* name, SERVICE_STATUS* status) {
  AddPlanEntry(PlanKind::kService, name, "running", "stopped", "Would stop service " + std::string(name) + " (running)");
  PlanService(name, false, Origin());
  status->dwCurrentState = SERVICE_STOPPED;
  return TRUE;
}

BOOL PlanStartService(const char* name) {
  AddPlanEntry(PlanKind::kService, name, "stopped", "running", "Would start service " + std::string(name) + " (stopped)");
  PlanService(name, true, Origin());
  return TRUE;
}

// The door's queries: the machine, or in a what-if run the machine as the plan leaves it.

DWORD DoorFileAttributes(const char* path) {
  const PlannedPath* planned = Describing() ? PlannedPathAt(path) : nullptr;
  if (planned == nullptr) return GetFileAttributesA(path);
  AnsweredFromPlan(planned->origin);
  if (planned->state != PlannedPathState::kGone) return planned->attributes != 0 ? planned->attributes : FILE_ATTRIBUTE_NORMAL;
  SetLastError(ERROR_FILE_NOT_FOUND);
  return INVALID_FILE_ATTRIBUTES;
}

std::string DoorContentPath(const char* path) {
  const PlannedPath* planned = Describing() ? PlannedPathAt(path) : nullptr;
  if (planned == nullptr || planned->source.empty()) return path;
  AnsweredFromPlan(planned->origin);
  return planned->source;
}

bool DoorReadFileText(const char* path, std::string* text) {
  const PlannedPath* planned = Describing() ? PlannedPathAt(path) : nullptr;
  if (planned == nullptr) return ReadTextFile(path, text);
  AnsweredFromPlan(planned->origin);
  if (planned->state == PlannedPathState::kGone) return false;
  if (!planned->hasText) return ReadTextFile(DoorContentPath(path).c_str(), text);
  *text = planned->text;
  return true;
}

DWORD DoorReadIniValue(const char* section, const char* key, char* value, DWORD size, const char* file) {
  if (!Describing() || PlannedPathAt(file) == nullptr) {
    return GetPrivateProfileStringA(section, key, "", value, size, file);
  }
  std::string text, found;
  if (size == 0) return 0;
  value[0] = '\0';
  if (!DoorReadFileText(file, &text) || !IniTextValue(text, section, key, &found)) return 0;
  const size_t length = found.size() < size - 1 ? found.size() : size - 1;
  std::memcpy(value, found.data(), length);
  value[length] = '\0';
  return static_cast<DWORD>(length);
}

bool DoorRegKeyOpens(HKEY root, const char* keyPath, REGSAM access) {
  if (Describing()) return KeyThroughPlan(root, keyPath, access);
  RegKey key;
  return RegOpenKeyExA(root, keyPath, 0, access, key.receive()) == ERROR_SUCCESS;
}

LONG DoorQueryRegValue(HKEY root, const char* keyPath, const char* name, DWORD* type, BYTE* data, DWORD* size) {
  if (!Describing()) {
    RegKey key;
    const LONG status = RegOpenKeyExA(root, keyPath, 0, KEY_READ, key.receive());
    if (status != ERROR_SUCCESS) return status;
    return RegQueryValueExA(key.get(), name, nullptr, type, data, size);
  }
  std::string found;
  if (!ValueThroughPlan(root, keyPath, name, type, &found)) return ERROR_FILE_NOT_FOUND;
  if (found.size() > *size) {
    *size = static_cast<DWORD>(found.size());
    return ERROR_MORE_DATA;
  }
  if (!found.empty()) std::memcpy(data, found.data(), found.size());
  *size = static_cast<DWORD>(found.size());
  return ERROR_SUCCESS;
}

bool DoorRegKeyCounts(HKEY root, const char* keyPath, DWORD* subkeys, DWORD* values) {
  if (Describing()) return CountsThroughPlan(root, keyPath, subkeys, values);
  RegKey key;
  if (RegOpenKeyExA(root, keyPath, 0, KEY_READ, key.receive()) != ERROR_SUCCESS) return false;
  return RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, subkeys, nullptr, nullptr, values, nullptr, nullptr,
                          nullptr, nullptr) == ERROR_SUCCESS;
}

BOOL DoorQueryService(SC_HANDLE service, const char* name, SERVICE_STATUS* status) {
  const BOOL read = QueryServiceStatus(service, status);
  const PlannedRegKey* planned = Describing() ? PlannedServiceAt(name) : nullptr;
  if (planned == nullptr) return read;
  AnsweredFromPlan(planned->origin);
  status->dwCurrentState = planned->exists ? SERVICE_RUNNING : SERVICE_STOPPED;
  return TRUE;
}

bool DoorProcessEnded(DWORD processId) { return Describing() && PlannedProcessEnded(processId); }

// What a what-if run only describes.

bool DoorPlansInstead(PlanKind kind, const char* target, const char* text) {
  if (!Describing()) return false;
  AddPlanEntry(kind, target, "", "", OneLine(text));
  return true;
}

bool DoorPlansProcessEnd(DWORD processId, const char* name) {
  if (!Describing()) return false;
  if (PlannedProcessEnded(processId)) return true;
  AddPlanEntry(PlanKind::kProcess, name, "running", "ended",
               "Would end process " + std::to_string(processId) + " " + OneLine(name));
  PlanProcessEnded(processId, Origin());
  return true;
}

int DoorAsk(const char* text, const char* caption, UINT type) {
  if (!Describing()) return MessageBoxA(nullptr, text, caption, type);
  if ((type & MB_TYPEMASK) != MB_YESNO) {
    AddPlanEntry(PlanKind::kMessage, caption, "", "", "Would show " + Quoted(text));
    return IDOK;
  }
  const int fallback = (type & MB_DEFMASK) == MB_DEFBUTTON2 ? IDNO : IDYES;
  const int answer = g_answer != 0 ? g_answer : fallback;
  const char* word = answer == IDYES ? "Yes" : "No";
  AddPlanEntry(PlanKind::kQuestion, caption, "", word,
               "Would ask " + Quoted(text) + " (Yes or No): the plan answers " + word);
  return answer;
}

void SetWhatIfAnswer(int answer) { g_answer = answer; }

bool DoorShowsWindows() { return !Describing(); }

void DoorNoteSkipped(const char* target, const char* why) {
  if (!Describing()) return;
  AddPlanEntry(PlanKind::kSkipped, target, "", "", "Would leave " + std::string(target) + " as it is: " + why);
}
