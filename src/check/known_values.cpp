#include "check/known_values.h"

#include <set>

#include "check/script_view.h"
#include "engine/keywords.h"

namespace {

constexpr int kMostPasses = 8;               // SET chains resolve one link a pass
constexpr size_t kInsertedValueChars = 259;  // what substitution inserts of one value

const KnownValue kWindowsFolder = {"C:\\WINDOWS", false, "the Windows folder"};
const KnownValue kProgramFiles = {"C:\\Program Files", false, "the Program Files folder"};

// What a query line stores when its value has a known shape; false otherwise.
bool QueryValue(const ScriptLine* line, KnownValue* value) {
  if (line->opcode == kOpGetWindowsDir) {
    *value = kWindowsFolder;
    return true;
  }
  if (line->opcode != kOpGetSpecialDir) return false;
  const std::string argument = line->argumentText;
  const std::string name = Upper(TrimmedText(argument.substr(argument.find('=') + 1)));
  if (name == "WINDOWS") *value = kWindowsFolder;
  if (name == "PROGRAM_FILES") *value = kProgramFiles;
  return name == "WINDOWS" || name == "PROGRAM_FILES";
}

}  // namespace

KnownValues::KnownValues(const ScriptView& view) {
  struct Setter {
    const std::string* name;
    const ScriptLine* line;
    const LineReading* reading;
  };
  std::vector<Setter> setters;
  for (const SectionView& section : view.sections) {
    for (size_t i = 0; i < section.lines.size(); ++i) {
      const LineReading& reading = section.readings[i];
      if (!reading.sets.empty()) setters.push_back({&reading.sets, section.lines[i], &reading});
    }
  }
  // Each pass works the setters out with the values the last pass knew; a name is known
  // once all its setters agree. Names set two ways, or by a line of no known value, never are.
  std::set<std::string> unknown;
  for (int pass = 0; pass < kMostPasses; ++pass) {
    std::map<std::string, KnownValue> agreed;
    std::set<std::string> pending;  // a setter not worked out on this pass
    for (const Setter& setter : setters) {
      const std::string& name = *setter.name;
      if (unknown.count(name) != 0) continue;
      KnownValue value;
      bool known = false;
      if (setter.line->opcode == kOpSet) {
        const bool plain = setter.reading->formRead && setter.reading->parts.size() <= 1;
        const std::string text = setter.reading->parts.empty() ? "" : setter.reading->parts[0].text;
        known = plain && Substitute(text, &value.text, &value.exact, &value.why);
        if (known && value.exact) value.why = "'" + value.text + "'";
        if (!plain) unknown.insert(name);
      } else {
        known = QueryValue(setter.line, &value);
        if (!known) unknown.insert(name);
      }
      if (!known) {
        pending.insert(name);
        continue;
      }
      auto existing = agreed.emplace(name, value).first;
      if (existing->second.text != value.text || existing->second.exact != value.exact) unknown.insert(name);
    }
    std::map<std::string, KnownValue> next;
    for (auto& entry : agreed) {
      if (unknown.count(entry.first) == 0 && pending.count(entry.first) == 0) next.emplace(entry.first, entry.second);
    }
    const bool settled = next.size() == values_.size();
    values_ = std::move(next);
    if (settled) break;
  }
}

bool KnownValues::Substitute(const std::string& text, std::string* out, bool* exact, std::string* why,
                             bool* cut) const {
  if (cut != nullptr) *cut = false;
  size_t unclosed = std::string::npos;
  std::vector<std::string> names = ReferenceNames(text, &unclosed);
  if (unclosed != std::string::npos) return false;
  out->clear();
  *exact = true;
  why->clear();
  size_t from = 0;
  for (const std::string& name : names) {
    auto value = values_.find(name);
    if (value == values_.end()) return false;
    const size_t open = text.find("%%", from);
    *out += text.substr(from, open - from) + value->second.text;
    from = open + name.size() + 4;
    *exact = *exact && value->second.exact;
    if (cut != nullptr && value->second.text.size() > kInsertedValueChars) *cut = true;
    *why += (why->empty() ? "" : ", ") + std::string("'%%") + name + "%%' is " + value->second.why;
  }
  *out += text.substr(from);
  return true;
}
