#include "platform/what_if_plan.h"

#include "base/json_text.h"
#include "log/log.h"
#include "platform/change_line.h"

namespace {

struct KindRow {
  PlanKind kind;
  const char* name;
  bool change;
};

const KindRow kKinds[] = {
    {PlanKind::kFile, "file", true},
    {PlanKind::kFolder, "folder", true},
    {PlanKind::kRegistryValue, "registry value", true},
    {PlanKind::kRegistryKey, "registry key", true},
    {PlanKind::kIniValue, "ini value", true},
    {PlanKind::kTextFile, "text file", true},
    {PlanKind::kRestartDelete, "deletion at restart", true},
    {PlanKind::kService, "service", true},
    {PlanKind::kProcess, "process", true},
    {PlanKind::kProgram, "program", true},
    {PlanKind::kInstaller, "installer", true},
    {PlanKind::kRestart, "restart", true},
    {PlanKind::kShortcut, "shortcut", true},
    {PlanKind::kAccess, "access list", true},
    {PlanKind::kQuestion, "question", false},
    {PlanKind::kMessage, "message", false},
    {PlanKind::kSkipped, "skipped", false},
};

const KindRow& RowOf(PlanKind kind) {
  for (const KindRow& row : kKinds) {
    if (row.kind == kind) return row;
  }
  return kKinds[0];
}

struct Assumption {
  uint32_t step = 0;  // in force for the lines that begin after this step
  std::string what;   // "SETREGVALUE of line 12"
};

bool g_planning = false;
std::vector<PlanEntry> g_entries;
Assumption g_assumption;
Assumption g_earlier;  // the one before: still in force on the line that made the latest

}  // namespace

const char* PlanKindName(PlanKind kind) { return RowOf(kind).name; }
bool IsPlannedChange(PlanKind kind) { return RowOf(kind).change; }

void StartPlan() {
  g_planning = true;
  g_entries.clear();
  g_assumption = Assumption();
  g_earlier = Assumption();
}

bool Planning() { return g_planning; }

void AddPlanEntry(PlanKind kind, const std::string& target, const std::string& before, const std::string& after,
                  const std::string& text) {
  PlanEntry entry;
  entry.line = ChangeLine();
  entry.command = ChangeCommand();
  entry.kind = kind;
  entry.target = target;
  entry.before = before;
  entry.after = after;
  entry.text = text;
  const Assumption& inForce = ChangeStep() > g_assumption.step ? g_assumption : g_earlier;
  if (!inForce.what.empty() && ChangeStep() > inForce.step) entry.assumes = inForce.what;
  LogStatus("%s", PlanLogLine(entry).c_str());
  g_entries.push_back(entry);
}

void AssumeFromNextLine(uint32_t line, const std::string& command) {
  if (g_assumption.step != ChangeStep()) g_earlier = g_assumption;
  g_assumption.step = ChangeStep();
  g_assumption.what = command + " of line " + std::to_string(line);
}

const std::vector<PlanEntry>& PlanEntries() { return g_entries; }

size_t PlannedChangeCount() {
  size_t count = 0;
  for (const PlanEntry& entry : g_entries) count += IsPlannedChange(entry.kind) ? 1 : 0;
  return count;
}

size_t ForecastChangeCount() {
  size_t count = 0;
  for (const PlanEntry& entry : g_entries) count += IsPlannedChange(entry.kind) && !entry.assumes.empty() ? 1 : 0;
  return count;
}

std::string PlanLogLine(const PlanEntry& entry) {
  std::string line = "Line " + std::to_string(entry.line);
  if (!entry.command.empty()) line += " " + entry.command;
  line += ": " + entry.text;
  if (!entry.assumes.empty()) line += " [then: assumes " + entry.assumes + " took effect]";
  return line;
}

std::string PlanJson(const std::string& script, const std::string& section, int exitCode) {
  std::string out = "{\n  \"script\": " + JsonString(script) + ",\n  \"section\": " + JsonString(section) +
                    ",\n  \"exitCode\": " + std::to_string(exitCode) +
                    ",\n  \"changes\": " + std::to_string(PlannedChangeCount()) +
                    ",\n  \"forecasts\": " + std::to_string(ForecastChangeCount()) + ",\n  \"plan\": [";
  for (size_t i = 0; i < g_entries.size(); ++i) {
    const PlanEntry& e = g_entries[i];
    out += i == 0 ? "\n" : ",\n";
    out += "    {\"line\": " + std::to_string(e.line) + ", \"command\": " + JsonString(e.command) +
           ", \"kind\": " + JsonString(PlanKindName(e.kind)) + ", \"change\": " +
           (IsPlannedChange(e.kind) ? "true" : "false") + ", \"target\": " + JsonString(e.target) +
           ", \"before\": " + JsonString(e.before) + ", \"after\": " + JsonString(e.after) +
           ", \"certainty\": " + JsonString(e.assumes.empty() ? "certain" : "forecast") +
           ", \"assumes\": " + JsonString(e.assumes) + ", \"text\": " + JsonString(e.text) + "}";
  }
  return out + (g_entries.empty() ? "]\n}\n" : "\n  ]\n}\n");
}
