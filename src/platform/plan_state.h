// The machine as a what-if run's plan would leave it: the files, folders, registry keys and
// values, INI text, services and processes the door was asked to change. The door's queries
// read through it, so that a later line sees what an earlier one would have made. Each
// planned state names the line that planned it. Portable: paths and key paths are compared
// without regard to ASCII case.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct PlanOrigin {
  uint32_t line = 0;
  std::string command;
  uint32_t step = 0;  // which running of the line (change_line's step)
};

void ClearPlannedState();

// Files and folders.
enum class PlannedPathState { kFile, kFolder, kGone };
struct PlannedPath {
  PlannedPathState state = PlannedPathState::kGone;
  std::string source;      // a file copied: the file whose bytes it would hold
  bool hasText = false;    // a file rewritten: its whole text
  std::string text;
  uint32_t attributes = 0;  // the attributes it would have
  PlanOrigin origin;
};
void PlanPath(const std::string& path, const PlannedPath& planned);
const PlannedPath* PlannedPathAt(const std::string& path);  // nullptr: the plan has not touched it
// The paths directly inside `folder` that the plan makes exist.
std::vector<std::string> PlannedPathsIn(const std::string& folder);

// Registry keys and values, by root number and path below the root.
struct PlannedRegKey {
  bool exists = false;  // false: deleted with its subtree
  PlanOrigin origin;
};
struct PlannedRegValue {
  bool exists = false;
  uint32_t type = 0;
  std::string data;
  PlanOrigin origin;
};
// A key deleted takes every planned key and value below it along.
void PlanRegKey(uint32_t root, const std::string& path, bool exists, const PlanOrigin& origin);
// The key's planned state, or that of a deleted key above it; nullptr when untouched.
const PlannedRegKey* PlannedRegKeyAt(uint32_t root, const std::string& path);
void PlanRegValue(uint32_t root, const std::string& path, const std::string& name, const PlannedRegValue& planned);
// The value's planned state (gone when its key was deleted); nullptr when untouched.
const PlannedRegValue* PlannedRegValueAt(uint32_t root, const std::string& path, const std::string& name);
// What the plan adds to (+1) or takes from (-1) a key directly below it: one element per
// planned subkey and per planned value, each with whether it would exist.
struct PlannedChild {
  bool isKey;
  std::string name;
  bool exists;
  PlanOrigin origin;
};
std::vector<PlannedChild> PlannedChildrenOf(uint32_t root, const std::string& path);

// Services and processes.
void PlanService(const std::string& name, bool running, const PlanOrigin& origin);
const PlannedRegKey* PlannedServiceAt(const std::string& name);  // exists = running
void PlanProcessEnded(uint32_t processId, const PlanOrigin& origin);
bool PlannedProcessEnded(uint32_t processId);

// INI text as the Windows profile functions read and write it: sections and keys without
// regard to case, blanks around them and around "=" ignored, a value's enclosing quotes
// dropped.
bool IniTextValue(const std::string& text, const std::string& section, const std::string& key, std::string* value);
// The text with the key set (added at the end of its section, or a new section at the end).
std::string WithIniValue(const std::string& text, const std::string& section, const std::string& key,
                         const std::string& value);
