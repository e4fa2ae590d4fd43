// The plan of a what-if run (Kivrun.exe /WhatIf): every change the door is asked to make is
// written down instead of being made, one entry each, with the script line that asked for
// it. Each entry goes to the log at once ("Line 12 SETREGVALUE: Would set ..."); the whole
// plan can be written as JSON at the end. Portable.
//
// Where the plan cannot see the effect of what it passes over (a program it does not start,
// a process it does not end), or where a query was answered from a change it only planned,
// the lines that follow rest on an assumption: their entries are forecasts and say which
// ("then: assumes SETREGVALUE of line 12 took effect").
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum class PlanKind : uint8_t {
  kFile,            // a file copied, replaced, deleted or its attributes set
  kFolder,          // a folder created or removed
  kRegistryValue,   // a value set or deleted
  kRegistryKey,     // a key created or deleted (with its subtree)
  kIniValue,        // an INI entry set
  kTextFile,        // a text file rewritten whole (an INI section removed, AUTOEXEC)
  kRestartDelete,   // a deletion scheduled for the next restart
  kService,         // a service stopped or started
  kProcess,         // a process or window ended
  kProgram,         // a program started or a document opened
  kInstaller,       // a CAB package installed, the installer's state reset
  kRestart,         // the machine restarted
  kShortcut,        // a shortcut written
  kAccess,          // a folder's access list set
  kQuestion,        // a message box that would ask (not a change)
  kMessage,         // a message box that would only tell (not a change)
  kSkipped,         // a change the run would pass over, and why (not a change)
};

const char* PlanKindName(PlanKind kind);  // "file", "registry value", ...
bool IsPlannedChange(PlanKind kind);      // false for questions, messages and what is skipped

struct PlanEntry {
  uint32_t line = 0;     // the script line (0: before the first)
  std::string command;   // its command word
  PlanKind kind = PlanKind::kFile;
  std::string target;    // the file, folder, key or value, service, process, program
  std::string before;    // what it is now ("" when it is not there or does not apply)
  std::string after;     // what it would be
  std::string text;      // the whole sentence: "Would replace ..."
  std::string assumes;   // "" when certain; else "SETREGVALUE of line 12"
};

// Starts an empty plan; entries are kept (and logged) from now on.
void StartPlan();
bool Planning();

// Adds an entry for the running line (the change line), logs it at status level and keeps it.
void AddPlanEntry(PlanKind kind, const std::string& target, const std::string& before, const std::string& after,
                  const std::string& text);

// From the next line on, the plan assumes that the change or command of `line` took effect.
void AssumeFromNextLine(uint32_t line, const std::string& command);

const std::vector<PlanEntry>& PlanEntries();
size_t PlannedChangeCount();
size_t ForecastChangeCount();

// The entry's log line: "Line 12 SETREGVALUE: Would set ... [then: assumes ...]".
std::string PlanLogLine(const PlanEntry& entry);

// The plan as one JSON document: the run (script, section, exit code), the counts and one
// object per entry.
std::string PlanJson(const std::string& script, const std::string& section, int exitCode);
