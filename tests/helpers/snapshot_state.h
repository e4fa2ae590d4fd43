// The state of a sandbox machine that a script run can change: the files and folders of
// its drive, the registry's HKLM and HKCU, the services, and what is scheduled for the next
// start. kivrun_snapshot writes it before a run and compares it after (scripts/try.sh).
#pragma once

#include <map>
#include <string>
#include <vector>

// What an item is; the order is the order of the report.
enum class ItemKind { kFile, kFolder, kRegistryKey, kRegistryValue, kService, kRestart };

// One item of the state. Items of one kind are told apart by their id (the path or name in
// lower case, since Windows matches them without regard to case); two items with the same
// id differ when any of their fields differ.
struct Item {
  ItemKind kind = ItemKind::kFile;
  std::vector<std::pair<std::string, std::string>> fields;  // the first is the name shown
  const std::string* Field(const char* key) const;
};

using State = std::map<std::pair<ItemKind, std::string>, Item>;

struct SnapshotOptions {
  std::vector<std::wstring> skipFolders;  // full paths, compared without regard to case
  const State* versionCache = nullptr;    // versions of files with the same size and time
};

// Collects the machine's state as Wine shows it to a Windows program.
State TakeSnapshot(const SnapshotOptions& options);

// Writes and reads the state as UTF-8 text, one item per line (fields escaped).
bool SaveState(const State& state, const std::wstring& path);
bool LoadState(const std::wstring& path, State* state);

std::string Utf8(const std::wstring& text);
std::wstring Wide(const std::string& text);
