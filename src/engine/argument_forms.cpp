#include "engine/argument_forms.h"

#include <cstring>

#include "engine/result_codes.h"
#include "engine/text.h"

const char* const kRegistryRootPrefixes[kRegistryRootCount] = {"HKLM\\", "HKCR\\", "HKCU\\", "HKUS\\", "HKCC\\"};

const char* const kSpecialFolderNames[kSpecialFolderCount] = {
    "TEMP",      "WINDOWS",          "PROGRAM_FILES", "DESKTOP",        "DOCUMENTS",
    "STARTMENU", "COMMON_STARTMENU", "STARTUP",       "COMMON_STARTUP", "CURRENT_KIVSCRIPT",
};

namespace {

// Copies up to `stop` into a 260-character part; gives the position of `stop`, or nullptr
// when it does not come within the 259 characters the part holds.
const char* CopyUntil(const char* text, char stop, char* part) {
  size_t n = 0;
  while (text[n] != '\0' && text[n] != stop && n < kPathChars - 1) {
    part[n] = text[n];
    ++n;
  }
  part[n] = '\0';
  return text[n] == stop ? text + n : nullptr;
}

// As CopyUntil, but gives what follows the separator.
const char* TakeUntil(const char* text, char stop, char* part) {
  const char* found = CopyUntil(text, stop, part);
  return found != nullptr ? found + 1 : nullptr;
}

}  // namespace

int RegistryRootIndex(const char* text) {
  for (int i = 0; i < kRegistryRootCount; ++i) {
    if (std::strncmp(text, kRegistryRootPrefixes[i], kRootPrefixChars) == 0) return i;
  }
  return -1;
}

int SpecialFolderIndex(const char* name) {
  for (int i = 0; i < kSpecialFolderCount; ++i) {
    if (EqualIgnoringCase(name, kSpecialFolderNames[i])) return i;
  }
  return -1;
}

bool IsRootOnlyKeyPath(const char* keyPath) {
  for (const char* p = keyPath; *p != '\0'; ++p) {
    if (*p != '\\' && *p != ' ' && *p != '\t') return false;
  }
  return true;
}

int ParseRegistryQueryText(const char* text, RegistryQueryText* query) {
  const char* equals = CopyUntil(text, '=', query->variable);
  if (equals == nullptr) return kResultNowhereToPutValue;

  char key[kArgumentCopyChars];
  CopyText(key, sizeof(key), equals + 1);
  TrimText(key);
  query->rootIndex = RegistryRootIndex(key);
  if (query->rootIndex < 0) return kResultNoRegistryRoot;

  const char* comma = CopyUntil(key + kRootPrefixChars, ',', query->keyPath);
  if (comma == nullptr) return kResultNoSubkey;
  CopyText(query->valueName, sizeof(query->valueName), comma + 1);  // commas and "=" included

  TrimText(query->keyPath);
  TrimText(query->valueName);
  TrimText(query->variable);
  return kResultOk;
}

int ParseRegistryAssignmentText(const char* text, RegistryAssignmentText* assignment) {
  assignment->rootIndex = RegistryRootIndex(text);
  if (assignment->rootIndex < 0) return kResultNoRegistryRoot;
  const char* comma = CopyUntil(text + kRootPrefixChars, ',', assignment->keyPath);
  if (comma == nullptr) return kResultNoSubkey;
  const char* equals = CopyUntil(comma + 1, '=', assignment->valueName);
  if (equals == nullptr) return kResultNoValueName;
  CopyText(assignment->data, sizeof(assignment->data), equals + 1);
  assignment->dataType = RegistryDataType::kString;

  TrimText(assignment->keyPath);
  TrimText(assignment->valueName);
  TrimText(assignment->data);

  // An optional type prefix: /REG_SZ: or /REG_DWORD:, in any case. Other text with a colon
  // (C:\Path) is string data as it stands.
  char* colon = std::strchr(assignment->data, ':');
  if (colon == nullptr) return kResultOk;
  *colon = '\0';
  bool typed = true;
  if (EqualIgnoringCase(assignment->data, "/REG_SZ")) {
    assignment->dataType = RegistryDataType::kString;
  } else if (EqualIgnoringCase(assignment->data, "/REG_DWORD")) {
    assignment->dataType = RegistryDataType::kDword;
  } else {
    typed = false;
  }
  if (!typed) {
    *colon = ':';
    return kResultOk;
  }
  std::memmove(assignment->data, colon + 1, std::strlen(colon + 1) + 1);  // not trimmed again
  return kResultOk;
}

void SplitListEntry(const char* text, char* source, char* destination) {
  char entry[kArgumentCopyChars];
  CopyText(entry, sizeof(entry), text);
  TrimText(entry);
  char* comma = std::strchr(entry, ',');
  if (comma != nullptr) *comma = '\0';
  CopyText(source, kPathChars, entry);
  TrimText(source);
  CopyText(destination, kPathChars, comma != nullptr ? comma + 1 : source);
  TrimText(destination);
}

int ParseIniReadArgs(const char* text, IniReadArgs* args) {
  args->file[0] = args->section[0] = args->key[0] = '\0';
  const char* rest = TakeUntil(text, '=', args->variable);
  if (rest == nullptr) return kResultNowhereToPutValue;
  rest = TakeUntil(rest, ',', args->file);
  if (rest == nullptr) return kResultNoIniFile;
  rest = TakeUntil(rest, ',', args->section);
  if (rest == nullptr) return kResultNoIniSection;
  if (!CopyText(args->key, sizeof(args->key), rest)) return kResultNoValueToSet;
  TrimText(args->variable);
  TrimText(args->file);
  TrimText(args->section);
  TrimText(args->key);
  return kResultOk;
}

int ParseIniWriteArgs(const char* text, IniWriteArgs* args) {
  const char* rest = TakeUntil(text, ',', args->file);
  if (rest == nullptr) return kResultNoIniFile;
  rest = TakeUntil(rest, ',', args->section);
  if (rest == nullptr) return kResultNoIniSection;
  rest = TakeUntil(rest, '=', args->key);
  if (rest == nullptr) return kResultNoValueToSet;
  if (!CopyText(args->value, sizeof(args->value), rest)) return kResultNowhereToGetValue;
  TrimText(args->file);
  TrimText(args->section);
  TrimText(args->key);
  TrimText(args->value);
  return kResultOk;
}
