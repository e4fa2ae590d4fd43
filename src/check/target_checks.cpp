// The checks of what a script acts on: the file lists and the package they copy from, and
// the targets that Kivrun refuses to destroy (drive roots, the Windows, system and Program
// Files folders, a root key alone). Package names are matched as Windows matches them:
// without regard to case, with "\" (or "/") between folders.
#include <map>
#include <set>

#include "check/script_view.h"
#include "engine/argument_forms.h"
#include "engine/command_forms.h"
#include "engine/keywords.h"
#include "engine/path_shape.h"
#include "engine/result_codes.h"
#include "base/text.h"
#include "platform/folder_entries.h"

namespace {

constexpr size_t kShortestFolderChars = 3;  // "C:\": the shortest folder a name can be joined to
constexpr size_t kLongestListName = kPathChars - 1 - kShortestFolderChars;

bool IsListEntry(const ScriptLine* line) { return line->opcode == kOpFileCio || line->opcode == kOpFileCow; }

// An entry's source and destination names, as the list commands split them (their row's form).
void SplitEntry(const ScriptLine* line, std::string* source, std::string* destination) {
  char text[kArgumentCopyChars];
  CopyText(text, sizeof(text), line->argumentText);
  ArgumentFields fields;
  SplitWithForm(*CommandRowOf(line->opcode), text, &fields);
  *source = fields.field[0];
  *destination = fields.field[1];
}

// The sections named as lists: by COPYFILES (copy lists) or by either command.
std::vector<bool> ListSections(const ScriptView& view, bool copyOnly) {
  std::vector<bool> lists(view.sections.size(), false);
  for (const SectionView& section : view.sections) {
    for (size_t i = 0; i < section.lines.size(); ++i) {
      const int opcode = section.lines[i]->opcode;
      if ((opcode == kOpCopyFiles || (!copyOnly && opcode == kOpDelFiles)) && section.targets[i] >= 0) {
        lists[static_cast<size_t>(section.targets[i])] = true;
      }
    }
  }
  return lists;
}

// Finds files in the package without regard to case; each folder is listed once.
class PackageFolder {
 public:
  explicit PackageFolder(std::string root) : root_(std::move(root)) {}

  bool Holds(const std::string& name) {
    auto known = answers_.find(Upper(name));
    if (known != answers_.end()) return known->second;
    const bool held = Look(name);
    answers_.emplace(Upper(name), held);
    return held;
  }

 private:
  bool Look(const std::string& name) {
    std::string folder = root_;
    std::string component;
    for (size_t i = 0; i <= name.size(); ++i) {
      if (i < name.size() && name[i] != '\\' && name[i] != '/') {
        component += name[i];
        continue;
      }
      std::string part;
      part.swap(component);
      if (part.empty() || part == ".") continue;
      if (!Find(folder, part, &folder)) return false;
    }
    return IsPlainFile(folder);
  }

  bool Find(const std::string& folder, const std::string& component, std::string* path) {
    auto listed = entries_.find(folder);
    if (listed == entries_.end()) {
      std::vector<std::string> names;
      ListFolderEntries(folder, &names);
      listed = entries_.emplace(folder, std::move(names)).first;
    }
    for (const std::string& entry : listed->second) {
      if (EqualIgnoringCase(entry.c_str(), component.c_str())) {
        *path = folder + "/" + entry;
        return true;
      }
    }
    if (component == "..") {
      *path = folder + "/..";
      return true;
    }
    return false;
  }

  std::string root_;
  std::map<std::string, std::vector<std::string>> entries_;
  std::map<std::string, bool> answers_;  // by the upper-cased name
};

// Why Kivrun refuses to remove a folder written as `path`, or "" when it does not. The run
// decides with the real folders of the machine; this knows their usual names.
std::string ProtectedFolderReason(const std::string& path) {
  char normal[kArgumentCopyChars];
  const PathShape shape = ClassifyFolderPath(path.c_str(), normal, sizeof(normal));
  if (shape != PathShape::kFolder) return PathShapeText(shape);
  const std::string folder = Upper(normal);
  if (folder[0] == '\\') return "";  // a share: its folders are nobody's system folders
  static const char* const kSystemFolders[] = {
      "WINDOWS",         "WINNT",         "WINDOWS\\SYSTEM32", "WINDOWS\\SYSTEM",     "WINDOWS\\SYSWOW64",
      "WINNT\\SYSTEM32", "WINNT\\SYSTEM", "PROGRAM FILES",     "PROGRAM FILES (X86)", "PROGRA~1",
      "PROGRA~2"};
  const std::string below = folder.substr(3);  // after "C:\\"
  for (const char* system : kSystemFolders) {
    if (below == system) return "a Windows, system or Program Files folder";
  }
  return "";
}

// Why the row's guard refuses `target` as the run would read it, or "".
std::string RefusalReason(Guard guard, const std::string& target) {
  if (guard == Guard::kProtectedFolder) return ProtectedFolderReason(target);
  if (guard == Guard::kRootKey && RegistryRootIndex(target.c_str()) >= 0 &&
      IsRootOnlyKeyPath(target.c_str() + kRootPrefixChars)) {
    return "a root key alone";
  }
  return "";
}

Guard GuardOf(const LineReading& reading) { return reading.row != nullptr ? reading.row->guard : Guard::kNone; }

}  // namespace

void CheckListEntryOutsideList(const ScriptView& view, Findings* findings) {
  const std::vector<bool> lists = ListSections(view, false);
  for (size_t s = 0; s < view.sections.size(); ++s) {
    if (lists[s] || !view.sections[s].first) continue;  // a second section of a name never runs
    for (const ScriptLine* line : view.sections[s].lines) {
      if (!IsListEntry(line)) continue;
      findings->push_back({line->lineNumber,
                           std::string(line->commandWord) + " in [" + view.sections[s].section->name +
                               "], which no COPYFILES or DELFILES names: the run passes over it",
                           {}});
    }
  }
}

void CheckMissingPackageFile(const ScriptView& view, Findings* findings) {
  const std::vector<bool> lists = ListSections(view, true);
  PackageFolder package(view.packageDir);
  for (size_t s = 0; s < view.sections.size(); ++s) {
    if (!lists[s]) continue;
    for (const ScriptLine* line : view.sections[s].lines) {
      std::string source, destination;
      if (!IsListEntry(line)) continue;
      SplitEntry(line, &source, &destination);
      if (source.empty() || source.size() > kLongestListName || package.Holds(source)) continue;
      findings->push_back({line->lineNumber,
                           "'" + source + "' is not in the package folder " + view.packageDir + " (" +
                               RunFails(kResultFileNotFound) + ")",
                           {}});
    }
  }
}

// The working folder every SETWORKDIR of the script names, where all name the same known
// folder; "" otherwise.
std::string KnownWorkFolder(const ScriptView& view) {
  std::string folder;
  for (const SectionView& section : view.sections) {
    for (const ScriptLine* line : section.lines) {
      if (line->opcode != kOpSetWorkDir) continue;
      std::string value, values;
      bool exact = false;
      if (!view.known.Substitute(line->argumentText, &value, &exact, &values) || !exact || value.empty()) return "";
      if (!folder.empty() && value != folder) return "";
      folder = value;
    }
  }
  return folder;
}

// Only in a list: elsewhere the run passes over an entry. Where the working folder is
// known, the path it makes with a destination name must fit too.
void CheckListNameTooLong(const ScriptView& view, Findings* findings) {
  const std::vector<bool> lists = ListSections(view, false);
  const std::string workFolder = KnownWorkFolder(view);
  for (size_t s = 0; s < view.sections.size(); ++s) {
    if (!lists[s]) continue;
    for (const ScriptLine* line : view.sections[s].lines) {
      std::string source, destination;
      if (!IsListEntry(line)) continue;
      SplitEntry(line, &source, &destination);
      if (source.size() > kLongestListName) {
        findings->push_back({line->lineNumber,
                             "the source name is " + std::to_string(source.size()) +
                                 " characters: no folder leaves room for it in a path of " +
                                 std::to_string(kPathChars - 1) + " (" + RunFails(kResultFileNotFound) + ")",
                             {}});
      } else if (destination.size() > kLongestListName) {
        findings->push_back({line->lineNumber,
                             "the destination name is " + std::to_string(destination.size()) +
                                 " characters: no folder leaves room for it in a path of " +
                                 std::to_string(kPathChars - 1),
                             {}});
      } else if (!workFolder.empty() && workFolder.size() + destination.size() + 2 >= kPathChars) {
        // The run keeps the folder alone when the joined path does not fit: the entry then
        // copies onto the working folder itself, or deletes nothing.
        findings->push_back({line->lineNumber,
                             "the working folder '" + workFolder + "' and '" + destination + "' make a path of " +
                                 std::to_string(workFolder.size() + 1 + destination.size()) +
                                 " characters; a path holds " + std::to_string(kPathChars - 1) +
                                 ": the entry acts on the working folder instead",
                             Severity::kWarning});
      }
    }
  }
}

void CheckProtectedTarget(const ScriptView& view, Findings* findings) {
  for (const SectionView& section : view.sections) {
    for (size_t i = 0; i < section.lines.size(); ++i) {
      const ScriptLine* line = section.lines[i];
      const LineReading& reading = section.readings[i];
      const std::string& path = reading.path;
      // A substituted target is judged with the known values of its variables (a folder
      // that GETWINDOWSDIR filled is the Windows folder); without them it is the
      // empty-variable check's.
      std::string target = path;
      std::string values;
      if (reading.pathSubstituted && HoldsVariable(path)) {
        bool exact = false;
        if (!view.known.Substitute(path, &target, &exact, &values)) continue;
      }
      const std::string reason = RefusalReason(GuardOf(reading), target);
      if (reason.empty()) continue;
      findings->push_back({line->lineNumber,
                           std::string(line->commandWord) + " on " + reason + " (" +
                               (values.empty() ? "'" + path + "'" : values) + "): the run refuses it (" +
                               RunFails(kResultBadSwitch) + ")",
                           {}});
    }
  }
}

void CheckEmptyVariableTarget(const ScriptView& view, Findings* findings) {
  std::map<std::string, uint32_t> mayBeEmpty;  // a name, and the first line that may leave it empty
  for (const SectionView& section : view.sections) {
    for (size_t i = 0; i < section.lines.size(); ++i) {
      const LineReading& reading = section.readings[i];
      if (reading.mayStoreEmpty && !reading.sets.empty())
        mayBeEmpty.emplace(reading.sets, section.lines[i]->lineNumber);
    }
  }
  for (const SectionView& section : view.sections) {
    std::set<std::string> tested;  // names a condition earlier in the section looked at
    for (size_t i = 0; i < section.lines.size(); ++i) {
      const ScriptLine* line = section.lines[i];
      for (const TextPart& part : section.readings[i].parts) {
        if (part.use != Use::kCondition) continue;
        for (const std::string& name : ReferenceNames(part.text)) tested.insert(name);
      }
      // Only a target the run substitutes can be emptied by a variable: key paths are used as
      // written.
      const LineReading& reading = section.readings[i];
      const std::string& path = reading.path;
      if (!reading.pathSubstituted || !HoldsVariable(path)) continue;
      std::string known;
      bool exact = false;
      std::string values;
      if (view.known.Substitute(path, &known, &exact, &values)) continue;  // the protected-target check's
      std::string rest = WithoutReferences(path);
      if (RefusalReason(GuardOf(reading), rest).empty()) continue;
      for (const std::string& name : ReferenceNames(path)) {
        auto empty = mayBeEmpty.find(name);
        if (empty == mayBeEmpty.end() || tested.count(name) != 0) continue;
        findings->push_back({line->lineNumber,
                             "'" + name + "' may be empty (line " + std::to_string(empty->second) + "): then " +
                                 line->commandWord + " acts on '" + rest + "', which the run refuses (" +
                                 RunFails(kResultBadSwitch) + "); test the variable first",
                             {}});
        break;
      }
    }
  }
}
