#include "app/command_line.h"

#include <cstddef>
#include <cstring>
#include <initializer_list>

#include "base/text.h"

namespace {

const char kLogName[] = "Log=";
const char kRegServer[] = "RegServer";
const char kUnregServer[] = "UnregServer";
const char kRollback[] = "Rollback";
const char kWhatIf[] = "WhatIf";

using OptionAction = void (*OptionActions::*)(const char*);

struct OptionRow {
  const char* name;  // with its "="
  size_t offset;     // of the value's buffer in StartupOptions
  size_t size;
  OptionAction action;  // acted on at once, or nullptr
};

const OptionRow kOptions[] = {
    {"Script=", offsetof(StartupOptions, script), kScriptValueChars, nullptr},
    {"Section=", offsetof(StartupOptions, section), kSectionValueChars, nullptr},
    {"CallBack=", offsetof(StartupOptions, callBack), kInterfaceValueChars, nullptr},
    {"AppUtil=", offsetof(StartupOptions, appUtil), kInterfaceValueChars, nullptr},
    {"Params=", offsetof(StartupOptions, params), kParamsValueChars, &OptionActions::params},
    {"Parent=", offsetof(StartupOptions, parent), kParentValueChars, &OptionActions::parent},
    {"Journal=", offsetof(StartupOptions, journal), kJournalValueChars, nullptr},
    {"WhatIfAnswer=", offsetof(StartupOptions, whatIfAnswer), kAnswerValueChars, nullptr},
    {"Plan=", offsetof(StartupOptions, plan), kPlanValueChars, nullptr},
};

// Whether `text` begins with the name of one of Kivrun's options, in any case.
bool BeginsOptionName(const char* text) {
  for (const char* word : {kLogName, kRegServer, kUnregServer, kRollback, kWhatIf}) {
    if (StartsWithIgnoringCase(text, word)) return true;
  }
  for (const OptionRow& row : kOptions) {
    if (StartsWithIgnoringCase(text, row.name)) return true;
  }
  return false;
}

// A "/" or "-" inside a value is part of it (C:\Updates\up-date.kiv), unless it follows a
// blank or a tab (the next word) or begins an option name (/Script=a.kiv/Section=Main).
bool EndsValue(const char* at, char previous) {
  if (*at != '/' && *at != '-') return false;
  return previous == ' ' || previous == '\t' || BeginsOptionName(at + 1);
}

// `start` follows the option's "=". The value ends where EndsValue says, at the end of the
// line or where its buffer is full; then it is trimmed.
void CopyValue(const char* start, char* value, size_t size) {
  size_t length = 0;
  char previous = '=';
  while (start[length] != '\0' && !EndsValue(start + length, previous) && length < size - 1) {
    value[length] = start[length];
    previous = start[length];
    ++length;
  }
  value[length] = '\0';
  TrimText(value);
}

// Whether `text` begins with `word` (in any case) followed by the end, a blank or a tab.
bool IsWord(const char* text, const char* word) {
  const size_t length = std::strlen(word);
  if (!StartsWithIgnoringCase(text, word)) return false;
  const char next = text[length];
  return next == '\0' || next == ' ' || next == '\t';
}

}  // namespace

void FindLogOption(const char* commandLine, char* value, size_t size) {
  value[0] = '\0';
  const char* found = std::strstr(commandLine, kLogName);
  if (found != nullptr) CopyValue(found + std::strlen(kLogName), value, size);
}

void ScanOptions(const char* commandLine, NextCharFunction nextChar, const OptionActions& actions,
                 StartupOptions* options) {
  std::memset(options, 0, sizeof(*options));
  options->action = StartupAction::kRun;
  for (const char* p = commandLine; *p != '\0'; p = nextChar(p)) {
    if (*p != '/' && *p != '-') continue;
    const char* rest = p + 1;
    if (EqualIgnoringCase(rest, kUnregServer)) {
      options->action = StartupAction::kUnregServer;
      return;
    }
    if (EqualIgnoringCase(rest, kRegServer)) {
      options->action = StartupAction::kRegServer;
      return;
    }
    if (IsWord(rest, kRollback)) {
      options->rollback = true;
      continue;
    }
    if (IsWord(rest, kWhatIf)) {
      options->whatIf = true;
      continue;
    }
    for (const OptionRow& row : kOptions) {
      if (!StartsWithIgnoringCase(rest, row.name)) continue;
      size_t nameLength = std::strlen(row.name);
      char* value = reinterpret_cast<char*>(options) + row.offset;
      CopyValue(rest + nameLength, value, row.size);
      if (row.action != nullptr && actions.*(row.action) != nullptr) (actions.*(row.action))(value);
      break;
    }
  }
}
