#include "platform/plan_state.h"

#include <map>

namespace {

std::string Folded(const std::string& text) {
  std::string folded = text;
  for (char& c : folded) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return folded;
}

// A path without its trailing backslashes, folded.
std::string PathKey(const std::string& path) {
  std::string key = Folded(path);
  while (key.size() > 3 && key.back() == '\\') key.pop_back();
  return key;
}

std::string RegKeyId(uint32_t root, const std::string& path) {
  std::string key = std::to_string(root) + ":" + Folded(path);
  while (!key.empty() && key.back() == '\\') key.pop_back();
  return key;
}

// A value's id: its key's id, a NUL (no key path holds one), its name.
std::string RegValueId(uint32_t root, const std::string& path, const std::string& name) {
  return RegKeyId(root, path) + std::string(1, '\0') + Folded(name);
}

bool IsBelow(const std::string& id, const std::string& parent) {
  return id.size() > parent.size() && id.compare(0, parent.size(), parent) == 0 && id[parent.size()] == '\\';
}

struct State {
  std::map<std::string, PlannedPath> paths;
  std::map<std::string, std::string> pathNames;  // folded key -> the path as planned
  std::map<std::string, PlannedRegKey> keys;
  std::map<std::string, std::string> keyNames;
  std::map<std::string, PlannedRegValue> values;
  std::map<std::string, std::string> valueNames;
  std::map<std::string, PlannedRegKey> services;
  std::map<uint32_t, PlanOrigin> endedProcesses;
};

State& TheState() {
  static State state;
  return state;
}

// The name directly below `parent` that `id` lies in, or "" when it is deeper.
std::string ChildName(const std::string& id, const std::string& parent) {
  if (!IsBelow(id, parent)) return "";
  const std::string rest = id.substr(parent.size() + 1);
  return rest.find('\\') == std::string::npos ? rest : "";
}

}  // namespace

void ClearPlannedState() { TheState() = State(); }

void PlanPath(const std::string& path, const PlannedPath& planned) {
  const std::string key = PathKey(path);
  TheState().paths[key] = planned;
  TheState().pathNames[key] = path;
}

const PlannedPath* PlannedPathAt(const std::string& path) {
  const auto found = TheState().paths.find(PathKey(path));
  return found == TheState().paths.end() ? nullptr : &found->second;
}

std::vector<std::string> PlannedPathsIn(const std::string& folder) {
  std::vector<std::string> inside;
  const std::string parent = PathKey(folder);
  for (const auto& entry : TheState().paths) {
    if (entry.second.state != PlannedPathState::kGone && !ChildName(entry.first, parent).empty()) {
      inside.push_back(TheState().pathNames[entry.first]);
    }
  }
  return inside;
}

void PlanRegKey(uint32_t root, const std::string& path, bool exists, const PlanOrigin& origin) {
  State& state = TheState();
  const std::string id = RegKeyId(root, path);
  if (!exists) {
    for (auto i = state.keys.begin(); i != state.keys.end();) i = IsBelow(i->first, id) ? state.keys.erase(i) : ++i;
    for (auto i = state.values.begin(); i != state.values.end();) {
      const std::string keyOfValue = i->first.substr(0, i->first.find('\0'));
      i = keyOfValue == id || IsBelow(keyOfValue, id) ? state.values.erase(i) : ++i;
    }
  }
  state.keys[id] = PlannedRegKey{exists, origin};
  state.keyNames[id] = path;
}

const PlannedRegKey* PlannedRegKeyAt(uint32_t root, const std::string& path) {
  const State& state = TheState();
  std::string id = RegKeyId(root, path);
  const auto own = state.keys.find(id);
  if (own != state.keys.end()) return &own->second;
  // A deleted key above it took it along; a created one says nothing about it.
  for (size_t cut = id.rfind('\\'); cut != std::string::npos; cut = id.rfind('\\')) {
    id.resize(cut);
    const auto above = state.keys.find(id);
    if (above != state.keys.end() && !above->second.exists) return &above->second;
  }
  return nullptr;
}

void PlanRegValue(uint32_t root, const std::string& path, const std::string& name, const PlannedRegValue& planned) {
  const std::string id = RegValueId(root, path, name);
  TheState().values[id] = planned;
  TheState().valueNames[id] = name;
}

const PlannedRegValue* PlannedRegValueAt(uint32_t root, const std::string& path, const std::string& name) {
  const auto found = TheState().values.find(RegValueId(root, path, name));
  if (found != TheState().values.end()) return &found->second;
  const PlannedRegKey* key = PlannedRegKeyAt(root, path);
  if (key == nullptr || key->exists) return nullptr;
  static PlannedRegValue gone;
  gone = PlannedRegValue();
  gone.origin = key->origin;
  return &gone;
}

std::vector<PlannedChild> PlannedChildrenOf(uint32_t root, const std::string& path) {
  const State& state = TheState();
  const std::string id = RegKeyId(root, path);
  std::vector<PlannedChild> children;
  for (const auto& key : state.keys) {
    const std::string name = ChildName(key.first, id);
    if (!name.empty()) children.push_back({true, name, key.second.exists, key.second.origin});
  }
  const std::string prefix = id + std::string(1, '\0');
  for (const auto& value : state.values) {
    if (value.first.compare(0, prefix.size(), prefix) == 0) {
      children.push_back({false, state.valueNames.at(value.first), value.second.exists, value.second.origin});
    }
  }
  return children;
}

void PlanService(const std::string& name, bool running, const PlanOrigin& origin) {
  TheState().services[Folded(name)] = PlannedRegKey{running, origin};
}

const PlannedRegKey* PlannedServiceAt(const std::string& name) {
  const auto found = TheState().services.find(Folded(name));
  return found == TheState().services.end() ? nullptr : &found->second;
}

void PlanProcessEnded(uint32_t processId, const PlanOrigin& origin) { TheState().endedProcesses[processId] = origin; }

bool PlannedProcessEnded(uint32_t processId) { return TheState().endedProcesses.count(processId) != 0; }

namespace {

std::string Trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return "";
  const size_t last = text.find_last_not_of(" \t\r\n");
  return text.substr(first, last - first + 1);
}

// Calls visit(section, key, value, lineStart, lineEnd) for every line of the text; section
// headers come with an empty key and the header's section.
template <class Visit>
void WalkIni(const std::string& text, Visit visit) {
  std::string section;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    end = end == std::string::npos ? text.size() : end + 1;
    const std::string line = Trimmed(text.substr(start, end - start));
    if (!line.empty() && line[0] == '[' && line.find(']') != std::string::npos) {
      section = Trimmed(line.substr(1, line.find(']') - 1));
      visit(section, std::string(), std::string(), start, end);
    } else if (line.find('=') != std::string::npos) {
      const size_t equals = line.find('=');
      visit(section, Trimmed(line.substr(0, equals)), Trimmed(line.substr(equals + 1)), start, end);
    }
    start = end;
  }
}

}  // namespace

bool IniTextValue(const std::string& text, const std::string& section, const std::string& key, std::string* value) {
  bool found = false;
  WalkIni(text, [&](const std::string& s, const std::string& k, const std::string& v, size_t, size_t) {
    if (!found && !k.empty() && Folded(s) == Folded(section) && Folded(k) == Folded(key)) {
      const bool quoted = v.size() >= 2 && (v[0] == '"' || v[0] == '\'') && v.back() == v[0];
      *value = quoted ? v.substr(1, v.size() - 2) : v;
      found = true;
    }
  });
  return found;
}

std::string WithIniValue(const std::string& text, const std::string& section, const std::string& key,
                         const std::string& value) {
  const std::string line = key + "=" + value + "\r\n";
  size_t keyStart = std::string::npos, keyEnd = 0, sectionEnd = std::string::npos;
  WalkIni(text, [&](const std::string& s, const std::string& k, const std::string&, size_t start, size_t end) {
    if (Folded(s) != Folded(section)) return;
    if (!k.empty() && Folded(k) == Folded(key) && keyStart == std::string::npos) {
      keyStart = start;
      keyEnd = end;
    }
    sectionEnd = end;  // the end of the header or of its last entry
  });
  if (keyStart != std::string::npos) return text.substr(0, keyStart) + line + text.substr(keyEnd);
  if (sectionEnd != std::string::npos) {
    const bool ended = sectionEnd > 0 && text[sectionEnd - 1] == '\n';
    return text.substr(0, sectionEnd) + (ended ? "" : "\r\n") + line + text.substr(sectionEnd);
  }
  std::string joined = text;
  if (!joined.empty() && joined.back() != '\n') joined += "\r\n";
  return joined + "[" + section + "]\r\n" + line;
}
