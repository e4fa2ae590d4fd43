#include "commands/registry/ini_commands.h"

#include <windows.h>
#include <direct.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "engine/acting_text.h"
#include "engine/keywords.h"
#include "engine/report.h"
#include "engine/result_codes.h"
#include "engine/symbols.h"
#include "engine/text.h"
#include "platform/path_helpers.h"
#include "platform/safe_rewrite.h"

namespace {

constexpr size_t kSubstitutedArgumentChars = 3000;
constexpr size_t kIniValueChars = 260;

// The line-by-line rewrite handles plain 8-bit text only: a file that starts with a
// byte-order mark or holds NUL bytes would come back garbled, so it is left alone.
const char* const kByteOrderMarks[] = {"\xEF\xBB\xBF", "\xFF\xFE", "\xFE\xFF"};

bool IsPlainText(const std::string& text) {
  if (text.find('\0') != std::string::npos) return false;
  for (const char* mark : kByteOrderMarks) {
    if (text.compare(0, std::strlen(mark), mark) == 0) return false;
  }
  return true;
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
  std::string text;
  if (!ReadTextFile(path, &text) || text.empty() || !IsPlainText(text)) return false;

  char header[kPathChars + 3];
  std::snprintf(header, sizeof(header), "[%s]", section);
  std::string kept;  // longer than the file when line ends grow to CR LF
  bool inSection = false;
  size_t start = 0;
  while (start < text.size()) {  // a line runs up to and with its LF; lines of any length stay whole
    size_t end = text.find('\n', start);
    end = end == std::string::npos ? text.size() : end + 1;
    std::string line = text.substr(start, end - start);
    start = end;
    TrimText(&line[0]);
    line.resize(std::strlen(line.c_str()));
    if (StartsWithIgnoringCase(line.c_str(), header)) {
      inSection = true;  // the header itself stays
    } else if (line[0] == '[' && line.find(']') != std::string::npos) {
      inSection = false;
    } else if (inSection) {
      continue;
    }
    kept += line;
    kept += "\r\n";
  }
  return ReplaceFileText(path, kept);
}

int GetIniFileValueCommand(ScriptContext* context, ScriptLine* line) {
  static char substituted[kSubstitutedArgumentChars];  // kept off the stack; main thread only
  int result = SubstituteActingText(context, line, line->argumentText, substituted, sizeof(substituted));
  if (result != kResultOk) return result;
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
  result = SubstituteActingText(context, line, args.value, value, sizeof(value));
  if (result != kResultOk) return result;
  result = SubstituteActingText(context, line, args.file, file, sizeof(file));
  if (result != kResultOk) return result;
  if (!ResolveIniFile(context, file)) return IniFileNotFound(context, line);
  // An empty value stays a key. A read-only or held file takes nothing: 19 (the read-only
  // test is explicit, as Wine run by root would write through the attribute).
  if (IsFileLocked(file) || !WritePrivateProfileStringA(args.section, args.key, value, file)) {
    return FailLine(context, line, kResultCannotWriteIni);
  }
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
  int result = RequireFits(context, line, line->argumentText, kPathChars);
  if (result != kResultOk) return result;
  char copy[kPathChars];
  CopyText(copy, sizeof(copy), line->argumentText);
  char* comma = std::strchr(copy, ',');
  if (comma == nullptr) return FailLine(context, line, kResultBadSwitch);
  *comma = '\0';
  char file[kPathChars], section[kPathChars];
  result = SubstituteActingText(context, line, copy, file, sizeof(file));
  if (result != kResultOk) return result;
  CopyText(section, sizeof(section), comma + 1);
  TrimText(file);
  TrimText(section);
  if (!ResolveIniFile(context, file)) return IniFileNotFound(context, line);
  if (!DeleteIniSection(section, file)) return FailLine(context, line, kResultBadSwitch);
  return kResultOk;
}
