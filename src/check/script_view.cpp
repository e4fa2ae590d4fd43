// Builds the checker's view of a script: sections with their lines and readings, the section
// each line runs, and the sections the start section reaches through them.
#include "check/script_view.h"

#include <unordered_map>

#include "engine/keywords.h"
#include "engine/loader.h"

void BuildView(ScriptView* view) {
  if (view->context == nullptr) return;
  std::unordered_map<const ScriptSection*, int> indexOf;
  for (RecordLinks* links = view->context->sections->first; links != nullptr; links = links->next) {
    const auto* section = RecordFromLinks<ScriptSection>(links);
    indexOf[section] = static_cast<int>(view->sections.size());
    SectionView entry{section, {}, {}, {}, FindSection(view->context->sections, section->name) == section};
    for (RecordLinks* lineLinks = section->lines->first; lineLinks != nullptr; lineLinks = lineLinks->next) {
      entry.lines.push_back(RecordFromLinks<ScriptLine>(lineLinks));
    }
    view->sections.push_back(std::move(entry));
  }

  for (SectionView& section : view->sections) {
    section.readings.reserve(section.lines.size());
    section.targets.reserve(section.lines.size());
    for (const ScriptLine* line : section.lines) {
      section.readings.push_back(ReadCommandLine(*line));
      // Section names are never substituted: a target is found by its name as written.
      const LineReading& reading = section.readings.back();
      int index = -1;
      if (reading.runsSection) {
        const ScriptSection* found = FindSection(view->context->sections, reading.section.c_str());
        if (found != nullptr) index = indexOf[found];
      }
      section.targets.push_back(index);
    }
  }

  // A line with variables is read again with their known values: a form that is split after
  // substitution is judged on what the run splits, and a text that no longer fits is found.
  view->known = KnownValues(*view);
  for (SectionView& section : view->sections) {
    for (size_t i = 0; i < section.lines.size(); ++i) {
      if (section.readings[i].row == nullptr || !HoldsVariable(section.lines[i]->argumentText)) continue;
      section.readings[i] = ReadCommandLine(*section.lines[i], &view->known);
    }
  }

  // RETURN and RETURNIF do their work only in a section run as a call (CALL, CALLIF,
  // GOTOIF): in the start section and in a file list the run passes over them, form and all.
  std::vector<bool> called(view->sections.size(), false);
  for (const SectionView& section : view->sections) {
    for (size_t i = 0; i < section.lines.size(); ++i) {
      const int opcode = section.lines[i]->opcode;
      if (section.targets[i] >= 0 && opcode != kOpCopyFiles && opcode != kOpDelFiles) {
        called[static_cast<size_t>(section.targets[i])] = true;
      }
    }
  }
  for (size_t s = 0; s < view->sections.size(); ++s) {
    if (called[s]) continue;
    SectionView& section = view->sections[s];
    for (size_t i = 0; i < section.lines.size(); ++i) {
      const int opcode = section.lines[i]->opcode;
      if (opcode != kOpReturn && opcode != kOpReturnIf) continue;
      section.readings[i].faults.clear();
      section.readings[i].parts.clear();
    }
  }

  const ScriptSection* start = FindSection(view->context->sections, view->start.c_str());
  view->startIndex = start != nullptr ? indexOf[start] : -1;
  view->reached.assign(view->sections.size(), false);
  if (view->startIndex < 0) return;
  std::vector<int> pending = {view->startIndex};
  view->reached[static_cast<size_t>(view->startIndex)] = true;
  while (!pending.empty()) {
    const SectionView& section = view->sections[static_cast<size_t>(pending.back())];
    pending.pop_back();
    for (int target : section.targets) {
      if (target < 0 || view->reached[static_cast<size_t>(target)]) continue;
      view->reached[static_cast<size_t>(target)] = true;
      pending.push_back(target);
    }
  }
}
