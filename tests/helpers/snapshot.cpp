// kivrun_snapshot: what a script run changed on a sandbox machine (scripts/try.sh).
//
//   kivrun_snapshot save FILE [--skip FOLDER]... [--cache FILE]
//       writes the machine's state to FILE; --cache takes file versions from an earlier
//       state where a file's size and time are unchanged
//   kivrun_snapshot diff BEFORE OUT [--skip FOLDER]... [--json]
//       takes the state now and writes what differs from BEFORE to OUT, as text or JSON
//   kivrun_snapshot stop PROGRAM OUT
//       writes the windows the processes named PROGRAM show to OUT, then ends them (a run
//       that hangs on a message box or a wait)
//
// Exit status: 0 done, 1 a file could not be read or written, 2 a usage fault.
#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "snapshot_state.h"

namespace {

// ---- The changes ----------------------------------------------------------------------

// A section of the report: the kinds of item it holds, how many leading fields name an item
// (the rest are what can change), and its words.
struct Section {
  const char* title;
  const char* json;
  ItemKind kinds[2];
  size_t kindCount;
  size_t identityFields;
  const char* added;
  const char* changed;
  const char* removed;
};

const Section kSections[] = {
    {"Files", "files", {ItemKind::kFolder, ItemKind::kFile}, 2, 1, "created", "changed", "deleted"},
    {"Registry keys", "registryKeys", {ItemKind::kRegistryKey}, 1, 1, "added", "changed", "removed"},
    {"Registry values", "registryValues", {ItemKind::kRegistryValue}, 1, 2, "added", "changed", "removed"},
    {"Services", "services", {ItemKind::kService}, 1, 1, "added", "changed", "removed"},
    {"Deletions and renames at the next start", "restart", {ItemKind::kRestart}, 1, 4, "scheduled", "changed", "no longer scheduled"},
};

struct Change {
  const Item* before = nullptr;
  const Item* after = nullptr;
};

struct SectionChanges {
  std::vector<Change> added, changed, removed;
};

// The items of the section's kinds that were added, changed or removed, in the order of
// their ids (a folder before the files in it).
SectionChanges Compare(const Section& section, const State& before, const State& after) {
  std::vector<std::pair<std::string, Change>> all;
  for (size_t k = 0; k < section.kindCount; ++k) {
    ItemKind kind = section.kinds[k];
    for (auto it = before.lower_bound({kind, ""}); it != before.end() && it->first.first == kind; ++it) {
      auto found = after.find(it->first);
      const Item* now = found == after.end() ? nullptr : &found->second;
      if (now == nullptr || now->fields != it->second.fields) all.push_back({it->first.second, {&it->second, now}});
    }
    for (auto it = after.lower_bound({kind, ""}); it != after.end() && it->first.first == kind; ++it) {
      if (before.find(it->first) == before.end()) all.push_back({it->first.second, {nullptr, &it->second}});
    }
  }
  std::stable_sort(all.begin(), all.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  SectionChanges changes;
  for (const auto& entry : all) {
    const Change& change = entry.second;
    (change.before == nullptr ? changes.added : change.after == nullptr ? changes.removed : changes.changed).push_back(change);
  }
  return changes;
}

// ---- Text -----------------------------------------------------------------------------

const size_t kShownDataChars = 160;  // a longer registry value is cut in the text report

std::string Shown(const std::string& text) {
  return text.size() <= kShownDataChars ? text : text.substr(0, kShownDataChars) + "...";
}

std::string Get(const Item& item, const char* key) {
  const std::string* value = item.Field(key);
  return value == nullptr ? "" : *value;
}

std::string ValueName(const Item& item) {
  std::string name = Get(item, "name");
  return Get(item, "key") + "," + (name.empty() ? "(default)" : name);
}

// One item as a line: its name and what it holds.
std::string ItemText(const Item& item) {
  switch (item.kind) {
    case ItemKind::kFolder: return Get(item, "path");
    case ItemKind::kFile: {
      std::string version = Get(item, "version");
      return Get(item, "path") + "  (" + Get(item, "size") + " bytes" + (version.empty() ? "" : ", version " + version) + ")";
    }
    case ItemKind::kRegistryKey: return Get(item, "key");
    case ItemKind::kRegistryValue: return ValueName(item) + " = " + Get(item, "type") + " " + Shown(Get(item, "data"));
    case ItemKind::kService:
      return Get(item, "name") + " (" + Get(item, "display") + "): " + Get(item, "state") + ", start " + Get(item, "start");
    case ItemKind::kRestart:
      return Get(item, "operation") + " " + Get(item, "path") +
             (Get(item, "operation") == "rename" ? " -> " + Get(item, "target") : "") + "  (" + Get(item, "source") + ")";
  }
  return "";
}

// A changed item: its name, then each field that differs, before -> after.
std::string ChangeText(const Section& section, const Change& change) {
  const Item& before = *change.before;
  const Item& after = *change.after;
  std::string text = after.kind == ItemKind::kRegistryValue ? ValueName(after) : after.fields[0].second;
  std::string details;
  for (size_t i = section.identityFields; i < after.fields.size(); ++i) {
    const std::string& key = after.fields[i].first;
    std::string old = Get(before, key.c_str()), now = after.fields[i].second;
    if (old == now || key == "time") continue;
    details += (details.empty() ? "" : ", ") + key + " " + Shown(old.empty() ? "(none)" : old) + " -> " + Shown(now);
  }
  for (const auto& field : before.fields) {
    if (after.Field(field.first.c_str()) == nullptr) details += (details.empty() ? "" : ", ") + field.first + " " + field.second + " -> (none)";
  }
  return text + "  (" + (details.empty() ? "written again, same size" : details) + ")";
}

std::string TextReport(const State& before, const State& after) {
  std::string text;
  for (const Section& section : kSections) {
    SectionChanges changes = Compare(section, before, after);
    const std::pair<const char*, const std::vector<Change>*> lists[] = {
        {section.added, &changes.added}, {section.changed, &changes.changed}, {section.removed, &changes.removed}};
    for (const auto& list : lists) {
      if (list.second->empty()) continue;
      text += std::string(section.title) + " " + list.first + " (" + std::to_string(list.second->size()) + ")\n";
      for (const Change& change : *list.second) {
        const Item* item = change.after != nullptr ? change.after : change.before;
        text += "  " + (change.before != nullptr && change.after != nullptr ? ChangeText(section, change) : ItemText(*item)) + "\n";
      }
    }
  }
  return text.empty() ? "Nothing changed.\n" : text;
}

// ---- JSON -----------------------------------------------------------------------------

std::string JsonString(const std::string& text) {
  std::string json = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      json += '\\';
      json += static_cast<char>(c);
    } else if (c < 0x20) {
      char escape[8];
      std::snprintf(escape, sizeof(escape), "\\u%04x", c);
      json += escape;
    } else {
      json += static_cast<char>(c);
    }
  }
  return json + "\"";
}

// Sizes are numbers; every other field is text.
std::string JsonFields(const Item& item, size_t first, size_t last) {
  std::string json;
  for (size_t i = first; i < last && i < item.fields.size(); ++i) {
    const auto& field = item.fields[i];
    json += (json.empty() ? "" : ", ") + JsonString(field.first) + ": " +
            (field.first == "size" ? field.second : JsonString(field.second));
  }
  return json;
}

std::string JsonItem(const Section& section, const Change& change) {
  const Item* item = change.after != nullptr ? change.after : change.before;
  std::string json = "{" + JsonFields(*item, 0, section.identityFields);
  if (item->kind == ItemKind::kFolder || item->kind == ItemKind::kFile) {
    json += std::string(", \"folder\": ") + (item->kind == ItemKind::kFolder ? "true" : "false");
  }
  if (change.before != nullptr && change.after != nullptr) {
    json += ", \"before\": {" + JsonFields(*change.before, section.identityFields, change.before->fields.size()) + "}";
    json += ", \"after\": {" + JsonFields(*change.after, section.identityFields, change.after->fields.size()) + "}";
  } else {
    std::string rest = JsonFields(*item, section.identityFields, item->fields.size());
    if (!rest.empty()) json += ", " + rest;
  }
  return json + "}";
}

std::string JsonReport(const State& before, const State& after) {
  std::string json = "{";
  bool firstSection = true;
  for (const Section& section : kSections) {
    SectionChanges changes = Compare(section, before, after);
    const std::pair<const char*, const std::vector<Change>*> lists[] = {
        {"added", &changes.added}, {"changed", &changes.changed}, {"removed", &changes.removed}};
    json += std::string(firstSection ? "" : ",") + "\n  " + JsonString(section.json) + ": {";
    firstSection = false;
    bool firstList = true;
    for (const auto& list : lists) {
      json += std::string(firstList ? "" : ",") + "\n    " + JsonString(list.first) + ": [";
      firstList = false;
      for (size_t i = 0; i < list.second->size(); ++i) {
        json += std::string(i == 0 ? "" : ",") + "\n      " + JsonItem(section, (*list.second)[i]);
      }
      json += list.second->empty() ? "]" : "\n    ]";
    }
    json += "\n  }";
  }
  return json + "\n}\n";
}

// ---- A run that hangs -----------------------------------------------------------------

struct WindowsOf {
  DWORD process;
  std::string* text;
};

BOOL CALLBACK AddChildText(HWND child, LPARAM list) {
  wchar_t text[512] = L"";
  if (IsWindowVisible(child) && GetWindowTextW(child, text, 512) > 0) {
    *reinterpret_cast<std::string*>(list) += " | " + Utf8(text);
  }
  return TRUE;
}

BOOL CALLBACK AddWindow(HWND window, LPARAM context) {
  WindowsOf* of = reinterpret_cast<WindowsOf*>(context);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process != of->process || !IsWindowVisible(window)) return TRUE;
  wchar_t caption[512] = L"";
  GetWindowTextW(window, caption, 512);
  std::string line = "window \"" + Utf8(caption) + "\"";
  EnumChildWindows(window, AddChildText, reinterpret_cast<LPARAM>(&line));
  *of->text += line + "\n";
  return TRUE;
}

class Handle {
 public:
  explicit Handle(HANDLE handle) : handle_(handle) {}
  ~Handle() {
    if (handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

// The exit code a process ended here gets: ERROR_TIMEOUT.
const UINT kStoppedExitCode = 1460;

std::string StopProcesses(const std::wstring& program) {
  std::string text;
  Handle processes(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof(entry);
  if (processes.get() == INVALID_HANDLE_VALUE || !Process32FirstW(processes.get(), &entry)) return text;
  do {
    if (lstrcmpiW(entry.szExeFile, program.c_str()) != 0) continue;
    WindowsOf of = {entry.th32ProcessID, &text};
    EnumWindows(AddWindow, reinterpret_cast<LPARAM>(&of));
    Handle process(OpenProcess(PROCESS_TERMINATE, FALSE, entry.th32ProcessID));
    if (process.get() != nullptr) TerminateProcess(process.get(), kStoppedExitCode);
  } while (Process32NextW(processes.get(), &entry));
  return text;
}

// ---- The command line -----------------------------------------------------------------

bool WriteText(const std::wstring& path, const std::string& text) {
  std::FILE* file = _wfopen(path.c_str(), L"wb");
  if (file == nullptr) return false;
  bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  return std::fclose(file) == 0 && written;
}

int Usage() {
  std::fprintf(stderr, "usage: kivrun_snapshot save FILE [--skip FOLDER]... [--cache FILE]\n"
                       "       kivrun_snapshot diff BEFORE OUT [--skip FOLDER]... [--json]\n"
                       "       kivrun_snapshot stop PROGRAM OUT\n");
  return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) return Usage();
  std::wstring mode = argv[1];
  std::vector<std::wstring> positional;
  SnapshotOptions options;
  std::wstring cachePath;
  bool json = false;
  for (int i = 2; i < argc; ++i) {
    std::wstring arg = argv[i];
    if (arg == L"--skip" && i + 1 < argc) options.skipFolders.push_back(argv[++i]);
    else if (arg == L"--cache" && i + 1 < argc) cachePath = argv[++i];
    else if (arg == L"--json") json = true;
    else if (arg.compare(0, 2, L"--") == 0) return Usage();
    else positional.push_back(arg);
  }

  if (mode == L"stop" && positional.size() == 2) return WriteText(positional[1], StopProcesses(positional[0])) ? 0 : 1;

  State cache;
  if (!cachePath.empty() && LoadState(cachePath, &cache)) options.versionCache = &cache;
  if (mode == L"save" && positional.size() == 1) return SaveState(TakeSnapshot(options), positional[0]) ? 0 : 1;
  if (mode == L"diff" && positional.size() == 2) {
    State before;
    if (!LoadState(positional[0], &before)) {
      std::fprintf(stderr, "kivrun_snapshot: cannot read the state %ls\n", positional[0].c_str());
      return 1;
    }
    options.versionCache = &before;  // an unchanged file keeps the version read before
    State after = TakeSnapshot(options);
    return WriteText(positional[1], json ? JsonReport(before, after) : TextReport(before, after)) ? 0 : 1;
  }
  return Usage();
}
