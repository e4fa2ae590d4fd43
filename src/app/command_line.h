// The command line of Kivrun.exe: options after "/" or "-", names in any case, values
// ending at a "/" or "-" that follows a blank or a tab or begins an option name.
// Portable: the multi-byte step is passed in.
#pragma once
#include <cstddef>

#include "host/host_text.h"  // kParamsValueChars

constexpr size_t kLogValueChars = 260;
constexpr size_t kScriptValueChars = 260;
constexpr size_t kSectionValueChars = 260;
constexpr size_t kInterfaceValueChars = 1000;
constexpr size_t kParentValueChars = 32;
constexpr size_t kJournalValueChars = 260;
constexpr size_t kPlanValueChars = 260;
constexpr size_t kAnswerValueChars = 8;

enum class StartupAction { kRun, kRegServer, kUnregServer };

struct StartupOptions {
  StartupAction action;
  char script[kScriptValueChars];
  char section[kSectionValueChars];
  char callBack[kInterfaceValueChars];
  char appUtil[kInterfaceValueChars];
  char params[kParamsValueChars];
  char parent[kParentValueChars];
  char journal[kJournalValueChars];  // the journal's folder; empty: no journal
  bool rollback;                     // /Rollback: only roll back what the journal holds
  bool whatIf;                       // /WhatIf: describe every change instead of making it
  char whatIfAnswer[kAnswerValueChars];  // YES or NO: what a what-if run answers a question box
  char plan[kPlanValueChars];            // the what-if plan's JSON file; empty: none
};

// Steps to the next character (CharNextA on Windows, so a lead byte's trail is skipped).
using NextCharFunction = const char* (*)(const char* text);

// Acted on as soon as the scan meets them: Params= and Parent=.
struct OptionActions {
  void (*params)(const char* value);
  void (*parent)(const char* value);
};

// The value of the first "Log=" (matched with its case) anywhere in the line; empty when none.
void FindLogOption(const char* commandLine, char* value, size_t size);

// Fills `options` (zeroed first) from the line. RegServer and UnregServer count only as
// the whole rest of the line and end the scan; Rollback and WhatIf count as words of their own.
void ScanOptions(const char* commandLine, NextCharFunction nextChar, const OptionActions& actions,
                 StartupOptions* options);
