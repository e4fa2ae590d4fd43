#include "commands/registry/ini_commands.h"

#include <windows.h>
#include <direct.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "engine/keywords.h"
#include "engine/report.h"
#include "engine/result_codes.h"
#include "engine/symbols.h"
#include "engine/text.h"
#include "platform/path_helpers.h"

namespace {

constexpr size_t kSubstitutedArgumentChars = 3000;
constexpr size_t kIniValueChars = 260;
constexpr size_t kIniLineBytes = 2048;

// Copies up to `stop` into a 260-character part; gives what follows the separator, or
// nullptr when it does not come within the 259 characters the part holds.
const char* TakeUntil(const char* text, char stop, char* part) {
  size_t n = 0;
  while (text[n] != '\0' && text[n] != stop && n < kPathChars - 1) {
    part[n] = text[n];
    ++n;
  }
  part[n] = '\0';
  return text[n] == stop ? text + n + 1 : nullptr;
}

bool TryFolder(const char* folder, const char* name, char* found) {
  char path[kPathChars];
  CopyText(path, sizeof(path), folder);
  JoinPath(path, sizeof(path), name);
  if (!FileExists(path)) return false;
  CopyText(found, kPathChars, path);
  return true;
}

// Reports 18 and stops a section run by a CALL-type command, yet gives 0: the start
// section goes on.
int IniFileNotFound(ScriptContext* context, ScriptLine* line) {
  FailLine(context, line, kResultIniNotFound);
  return kResultOk;
}

}  // namespace

const HandlerRow IniCommandRows[] = {
    {kOpGetIniFileValue, GetIniFileValueCommand},
    {kOpSetIniFileValue, SetIniFileValueCommand},
    {kOpFindIniFileValue, FindIniFileValueCommand},
    {kOpDeleteIniFileSection, DeleteIniFileSectionCommand},
    {kOpNone, nullptr},
};

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

bool ResolveIniFile(const ScriptContext* context, char* name) {
  if (FileExists(name)) return true;
  char found[kPathChars];
  if (context->workDir[0] != '\0' && TryFolder(context->workDir, name, found)) {
    CopyText(name, kPathChars, found);
    return true;
  }
  char folder[kPathChars];
  if (_getcwd(folder, sizeof(folder)) != nullptr && TryFolder(folder, name, found)) {
    CopyText(name, kPathChars, found);
    return true;
  }
  UINT length = GetWindowsDirectoryA(folder, sizeof(folder));
  if (length > 0 && length < sizeof(folder) && TryFolder(folder, name, found)) {
    CopyText(name, kPathChars, found);
    return true;
  }
  length = GetSystemDirectoryA(folder, sizeof(folder));
  if (length > 0 && length < sizeof(folder) && TryFolder(folder, name, found)) {
    CopyText(name, kPathChars, found);
    return true;
  }
  DWORD searched = SearchPathA(nullptr, name, nullptr, sizeof(found), found, nullptr);
  if (searched > 0 && searched < sizeof(found) && FileExists(found)) {
    CopyText(name, kPathChars, found);
    return true;
  }
  return false;
}

bool DeleteIniSection(const char* section, const char* path) {
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return false;
  if (std::fseek(file, 0, SEEK_END) != 0 || std::ftell(file) <= 0) {
    std::fclose(file);
    return false;
  }
  std::fseek(file, 0, SEEK_SET);

  char header[kPathChars + 3];
  std::snprintf(header, sizeof(header), "[%s]", section);
  std::string kept;  // longer than the file when line ends grow to CR LF
  bool inSection = false;
  char line[kIniLineBytes];
  while (std::fgets(line, sizeof(line), file) != nullptr) {
    TrimText(line);
    if (StartsWithIgnoringCase(line, header)) {
      inSection = true;  // the header itself stays
    } else if (line[0] == '[' && std::strchr(line, ']') != nullptr) {
      inSection = false;
    } else if (inSection) {
      continue;
    }
    kept += line;
    kept += "\r\n";
  }
  std::fclose(file);

  file = std::fopen(path, "w+b");
  if (file == nullptr) return false;
  size_t written = kept.empty() ? 0 : std::fwrite(kept.data(), 1, kept.size(), file);
  std::fflush(file);
  std::fclose(file);
  return written > 0;
}

int GetIniFileValueCommand(ScriptContext* context, ScriptLine* line) {
  static char substituted[kSubstitutedArgumentChars];  // kept off the stack; main thread only
  int result = SubstituteVariables(context, line->argumentText, substituted, sizeof(substituted));
  if (result != kResultOk) return FailLine(context, line, result);
  IniReadArgs args;
  result = ParseIniReadArgs(substituted, &args);
  if (result != kResultOk) return FailLine(context, line, result);
  if (!ResolveIniFile(context, args.file)) return FailLine(context, line, kResultIniNotFound);

  char value[kIniValueChars] = "";
  GetPrivateProfileStringA(args.section, args.key, "", value, sizeof(value), args.file);
  return StoreOrFail(context, line, args.variable, value);
}

int SetIniFileValueCommand(ScriptContext* context, ScriptLine* line) {
  IniWriteArgs args;
  int result = ParseIniWriteArgs(line->argumentText, &args);
  if (result != kResultOk) return FailLine(context, line, result);
  char value[kPathChars], file[kPathChars];
  result = SubstituteVariables(context, args.value, value, sizeof(value));
  if (result != kResultOk) return FailLine(context, line, result);
  result = SubstituteVariables(context, args.file, file, sizeof(file));
  if (result != kResultOk) return FailLine(context, line, result);
  if (!ResolveIniFile(context, file)) return IniFileNotFound(context, line);
  WritePrivateProfileStringA(args.section, args.key, value, file);  // an empty value stays a key
  return kResultOk;
}

int FindIniFileValueCommand(ScriptContext* context, ScriptLine* line) {
  IniReadArgs args;
  int split = ParseIniReadArgs(line->argumentText, &args);
  // Without "=" there is no variable to answer in.
  if (split == kResultNowhereToPutValue) return kResultOk;
  bool found = false;
  if (split == kResultOk && ResolveIniFile(context, args.file)) {
    char value[kIniValueChars] = "";
    found = GetPrivateProfileStringA(args.section, args.key, "", value, sizeof(value), args.file) > 0;
  }
  TrimText(args.variable);
  return SymbolSet(context->symbols, args.variable, TrueOrFalse(found));
}

int DeleteIniFileSectionCommand(ScriptContext* context, ScriptLine* line) {
  char copy[kPathChars];
  CopyText(copy, sizeof(copy), line->argumentText);
  char* comma = std::strchr(copy, ',');
  if (comma == nullptr) return FailLine(context, line, kResultBadSwitch);
  *comma = '\0';
  char file[kPathChars], section[kPathChars];
  int result = SubstituteVariables(context, copy, file, sizeof(file));
  CopyText(section, sizeof(section), comma + 1);
  TrimText(file);
  TrimText(section);
  if (result != kResultOk) return FailLine(context, line, result);
  if (!ResolveIniFile(context, file)) return IniFileNotFound(context, line);
  if (!DeleteIniSection(section, file)) return FailLine(context, line, kResultBadSwitch);
  return kResultOk;
}
