#include "app/command_line.h"

#include <cstddef>
#include <cstring>

#include "engine/text.h"

namespace {

// A value ends before the first "/" or "-", or where its buffer is full; then it is trimmed.
void CopyValue(const char* start, char* value, size_t size) {
  size_t length = 0;
  while (start[length] != '\0' && start[length] != '/' && start[length] != '-' && length < size - 1) {
    value[length] = start[length];
    ++length;
  }
  value[length] = '\0';
  TrimText(value);
}

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
};

}  // namespace

void FindLogOption(const char* commandLine, char* value, size_t size) {
  value[0] = '\0';
  const char* found = std::strstr(commandLine, "Log=");
  if (found != nullptr) CopyValue(found + 4, value, size);
}

void ScanOptions(const char* commandLine, NextCharFunction nextChar, const OptionActions& actions,
                 StartupOptions* options) {
  std::memset(options, 0, sizeof(*options));
  options->action = StartupAction::kRun;
  for (const char* p = commandLine; *p != '\0'; p = nextChar(p)) {
    if (*p != '/' && *p != '-') continue;
    const char* rest = p + 1;
    if (EqualIgnoringCase(rest, "UnregServer")) {
      options->action = StartupAction::kUnregServer;
      return;
    }
    if (EqualIgnoringCase(rest, "RegServer")) {
      options->action = StartupAction::kRegServer;
      return;
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
