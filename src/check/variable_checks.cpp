// The variable checks. A %%NAME%% is reported only when no line at all could have set NAME
// before it on any path from the start section: a variable set conditionally, in a called
// section or on an earlier pass of a loop counts as set. The flow is followed through CALL,
// CALLIF, GOTOIF, COPYFILES and DELFILES, whose sections are named as written (never through
// a variable).
#include <cstdint>
#include <unordered_map>

#include "check/near_names.h"
#include "check/script_view.h"
#include "engine/result_codes.h"

namespace {

// A set of variable names by their index, as bits.
class NameSet {
 public:
  explicit NameSet(size_t names = 0) : words_((names + 63) / 64, 0) {}
  void Add(int name) { words_[static_cast<size_t>(name) / 64] |= uint64_t{1} << (static_cast<size_t>(name) % 64); }
  bool Has(int name) const { return (words_[static_cast<size_t>(name) / 64] >> (static_cast<size_t>(name) % 64)) & 1u; }
  // Adds `other`; true when something was new.
  bool Merge(const NameSet& other) {
    bool grew = false;
    for (size_t i = 0; i < words_.size(); ++i) {
      uint64_t merged = words_[i] | other.words_[i];
      grew = grew || merged != words_[i];
      words_[i] = merged;
    }
    return grew;
  }

 private:
  std::vector<uint64_t> words_;
};

struct Reference {
  std::string name;
  Use use;
};

std::vector<Reference> ReferencesOf(const LineReading& reading) {
  std::vector<Reference> references;
  for (const TextPart& part : reading.parts) {
    for (const std::string& name : ReferenceNames(part.text)) references.push_back({name, part.use});
  }
  if (!reading.readsByName.empty()) references.push_back({reading.readsByName, Use::kActing});
  return references;
}

// Which names are set where, and which may be set before each section begins. Each section
// is summed up once as its steps (a line that sets a name or runs a section); the two fixed
// points then walk steps, callees first for what a section may set and callers first for
// what may be set when it begins, so a call chain settles in a pass or two.
class VariableFlow {
 public:
  // With `follow`, also works out which names may be set before each section begins.
  VariableFlow(const ScriptView& view, bool follow) : view_(view), steps_(view.sections.size()) {
    for (size_t s = 0; s < view.sections.size(); ++s) {
      const SectionView& section = view.sections[s];
      for (size_t i = 0; i < section.lines.size(); ++i) {
        const std::string& name = section.readings[i].sets;
        int index = -1;
        if (!name.empty()) {
          auto found = index_.emplace(name, static_cast<int>(names_.size()));
          if (found.second) {
            names_.push_back(name);
            firstSet_.push_back(section.lines[i]->lineNumber);
          }
          index = found.first->second;
        }
        if (index >= 0 || section.targets[i] >= 0) steps_[s].push_back({i, section.targets[i], index});
      }
    }
    if (follow && view.startIndex >= 0 && !TooLargeToFollow()) Follow();
  }

  // The flow keeps two sets of names per section. Past this many 64-bit words in each (64 MiB
  // apiece: some 45,000 sections by 12,000 names) it is not worked out, and only names that no
  // line sets at all are reported.
  static constexpr size_t kMaxFollowedWords = size_t{8} << 20;
  bool TooLargeToFollow() const {
    const size_t words = (names_.size() + 63) / 64;
    return words != 0 && view_.sections.size() > kMaxFollowedWords / words;
  }

  const std::vector<std::string>& names() const { return names_; }
  int IndexOf(const std::string& name) const {
    auto found = index_.find(name);
    return found == index_.end() ? -1 : found->second;
  }
  uint32_t FirstSetLine(int name) const { return firstSet_[static_cast<size_t>(name)]; }
  bool followed() const { return !in_.empty(); }

  // Walks the lines of a reached section with the names that may be set before each one.
  // Without the flow (a target held in a variable) there is nothing to follow: the visit
  // gets an empty set, and what the sections set is never worked out.
  template <typename Visit>
  void Walk(size_t section, Visit visit) const {
    NameSet current = followed() ? in_[section] : NameSet(names_.size());
    size_t next = 0;
    const std::vector<Step>& steps = steps_[section];
    for (size_t i = 0; i < view_.sections[section].lines.size(); ++i) {
      visit(i, current);
      if (followed() && next < steps.size() && steps[next].line == i) Apply(steps[next++], &current);
    }
  }

 private:
  struct Step {
    size_t line;
    int target;  // the section it runs, or -1
    int sets;    // the name it sets, or -1
  };

  void Apply(const Step& step, NameSet* current) const {
    if (step.target >= 0) current->Merge(out_[static_cast<size_t>(step.target)]);
    if (step.sets >= 0) current->Add(step.sets);
  }

  // The reached sections, each after every section it runs (where there is no cycle).
  std::vector<size_t> CalleesFirst() const {
    std::vector<size_t> order;
    std::vector<bool> seen(view_.sections.size(), false);
    std::vector<std::pair<size_t, size_t>> stack = {{static_cast<size_t>(view_.startIndex), 0}};
    seen[static_cast<size_t>(view_.startIndex)] = true;
    while (!stack.empty()) {
      auto& [section, next] = stack.back();
      if (next < steps_[section].size()) {
        int target = steps_[section][next++].target;
        if (target >= 0 && !seen[static_cast<size_t>(target)]) {
          seen[static_cast<size_t>(target)] = true;
          stack.push_back({static_cast<size_t>(target), 0});
        }
        continue;
      }
      order.push_back(section);
      stack.pop_back();
    }
    return order;
  }

  void Follow() {
    const size_t count = view_.sections.size();
    out_.assign(count, NameSet(names_.size()));
    in_.assign(count, NameSet(names_.size()));
    const std::vector<size_t> order = CalleesFirst();
    for (bool grew = true; grew;) {  // what each section may set, through what it runs
      grew = false;
      for (size_t s : order) {
        NameSet sets(names_.size());
        for (const Step& step : steps_[s]) Apply(step, &sets);
        grew = out_[s].Merge(sets) || grew;
      }
    }
    for (bool grew = true; grew;) {  // what may be set when each section begins
      grew = false;
      for (auto s = order.rbegin(); s != order.rend(); ++s) {
        NameSet current = in_[*s];
        for (const Step& step : steps_[*s]) {
          if (step.target >= 0) grew = in_[static_cast<size_t>(step.target)].Merge(current) || grew;
          Apply(step, &current);
        }
      }
    }
  }

  const ScriptView& view_;
  std::vector<std::vector<Step>> steps_;  // per section
  std::unordered_map<std::string, int> index_;
  std::vector<std::string> names_;
  std::vector<uint32_t> firstSet_;
  std::vector<NameSet> out_;
  std::vector<NameSet> in_;
};

const char* Consequence(Use use) {
  switch (use) {
    case Use::kActing:
      return "";
    case Use::kShown:
      return ": the run shows or returns the text without its value";
    case Use::kCondition:
      return ": the run compares the operand as written";
  }
  return "";
}

bool SetOnlyByCase(const VariableFlow& flow, const NearNames& setNames, const std::string& name) {
  return flow.IndexOf(name) < 0 && setNames.HasEqualButForCase(name);
}

}  // namespace

void CheckUndefinedVariables(const ScriptView& view, Findings* findings) {
  if (view.startIndex < 0) return;
  VariableFlow flow(view, true);
  NearNames setNames(flow.names());
  if (flow.TooLargeToFollow()) {
    findings->push_back({1,
                         std::to_string(view.sections.size()) + " sections by " + std::to_string(flow.names().size()) +
                             " variable names are more than the checker follows: only names that no line sets "
                             "are reported",
                         Severity::kNote});
  }
  for (size_t s = 0; s < view.sections.size(); ++s) {
    if (!view.reached[s] || !view.sections[s].first) continue;
    const SectionView& section = view.sections[s];
    flow.Walk(s, [&](size_t i, const NameSet& set) {
      const uint32_t lineNumber = section.lines[i]->lineNumber;
      for (const Reference& reference : ReferencesOf(section.readings[i])) {
        int name = flow.IndexOf(reference.name);
        if (name >= 0 && (!flow.followed() || set.Has(name))) continue;
        if (reference.use != Use::kActing && SetOnlyByCase(flow, setNames, reference.name))
          continue;  // variable-case says it
        std::string message = "variable '" + reference.name + "' is set by no line";
        if (name >= 0) message += " before this one";
        if (name >= 0 && flow.FirstSetLine(name) != lineNumber) {
          message += " (first set at line " + std::to_string(flow.FirstSetLine(name)) + ")";
        }
        message += Consequence(reference.use);
        if (reference.use == Use::kActing) message += " (" + RunFails(kResultSymbolNotFound) + ")";
        std::string near = setNames.Nearest(reference.name);
        if (name < 0 && !near.empty()) message += "; did you mean '" + near + "'?";
        findings->push_back(
            {lineNumber, message, reference.use == Use::kActing ? Severity::kError : Severity::kWarning});
      }
      if (!section.readings[i].waitsOn) return;
      const std::string& word = *section.readings[i].waitsOn;
      int name = flow.IndexOf(word);
      if (!(name >= 0 && (!flow.followed() || set.Has(name)))) {
        findings->push_back(
            {lineNumber,
             "'" + word + "' is neither a number nor a variable set before this line: the run does not wait",
             Severity::kWarning});
      }
    });
  }
}

void CheckVariableCase(const ScriptView& view, Findings* findings) {
  VariableFlow flow(view, false);
  NearNames setNames(flow.names());
  for (const SectionView& section : view.sections) {
    for (size_t i = 0; i < section.lines.size(); ++i) {
      for (const Reference& reference : ReferencesOf(section.readings[i])) {
        if (!SetOnlyByCase(flow, setNames, reference.name)) continue;
        std::string set = setNames.Nearest(reference.name);
        findings->push_back({section.lines[i]->lineNumber,
                             "variable '" + reference.name + "' is set nowhere, but '" + set + "' is (line " +
                                 std::to_string(flow.FirstSetLine(flow.IndexOf(set))) +
                                 "): variable names are case-sensitive",
                             {}});
      }
    }
  }
}

void CheckUnclosedVariables(const ScriptView& view, Findings* findings) {
  for (const SectionView& section : view.sections) {
    for (size_t i = 0; i < section.lines.size(); ++i) {
      for (const TextPart& part : section.readings[i].parts) {
        size_t unclosed = std::string::npos;
        ReferenceNames(part.text, &unclosed);
        if (unclosed == std::string::npos) continue;
        findings->push_back({section.lines[i]->lineNumber,
                             "an unclosed %% (no %% after '" + part.text.substr(unclosed) +
                                 "'): the run drops the text from it to the end",
                             {}});
      }
    }
  }
}
