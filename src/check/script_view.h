// The checker's view of one script, built once and read by every check: the bytes as stored,
// what the loader made of them, each command line's reading by the command rules, and which
// sections the start section reaches.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "check/command_rules.h"
#include "check/diagnostics.h"
#include "check/known_values.h"
#include "engine/script.h"

struct SectionView {
  const ScriptSection* section;
  std::vector<const ScriptLine*> lines;
  std::vector<LineReading> readings;  // one per line
  std::vector<int> targets;           // per line: the section it runs (index), -1 for none or a missing one
  bool first;                         // the first section of its name: the one the run finds
};

struct ScriptView {
  std::string path;
  std::string bytes;
  int loadResult = 0;
  ScriptContext* context = nullptr;  // nullptr when the loader gave nothing
  std::string start;
  std::string packageDir;
  std::vector<SectionView> sections;  // in file order
  int startIndex = -1;
  std::vector<bool> reached;  // per section: the start section reaches it
  KnownValues known;          // the values some variables hold wherever they are read

  bool Parsed() const { return loadResult == 0 && context != nullptr; }
  // The text up to its first NUL byte, which ends it for the loader.
  std::string Text() const { return bytes.substr(0, bytes.find('\0')); }
};

struct Finding {
  uint32_t line;
  std::string message;
  std::optional<Severity> severity;  // the check's own severity when not given
};
using Findings = std::vector<Finding>;

std::string Upper(std::string text);

// Builds the view of a loaded script (context may be nullptr).
void BuildView(ScriptView* view);

// The checks outside checks.cpp.
void CheckUndefinedVariables(const ScriptView& view, Findings* findings);
void CheckVariableCase(const ScriptView& view, Findings* findings);
void CheckUnclosedVariables(const ScriptView& view, Findings* findings);
void CheckListEntryOutsideList(const ScriptView& view, Findings* findings);
void CheckMissingPackageFile(const ScriptView& view, Findings* findings);
void CheckListNameTooLong(const ScriptView& view, Findings* findings);
void CheckProtectedTarget(const ScriptView& view, Findings* findings);
void CheckEmptyVariableTarget(const ScriptView& view, Findings* findings);
