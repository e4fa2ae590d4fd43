#include "commands/registry/ini_commands.h"

#include <windows.h>
#include <direct.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "engine/acting_text.h"
#include "engine/argument_reader.h"
#include "engine/keywords.h"
#include "engine/report.h"
#include "engine/result_codes.h"
#include "engine/symbols.h"
#include "base/text.h"
#include "platform/change_door.h"
#include "platform/path_helpers.h"
#include "platform/safe_rewrite.h"

namespace {

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
int IniFileNotFound(ScriptContext* context, const ScriptLine* line) {
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
  if (!DoorReadFileText(path, &text) || text.empty() || !IsPlainText(text)) return false;

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
  return DoorReplaceFileText(path, kept);
}

int GetIniFileValueCommand(ScriptContext* context, const ScriptLine* line) {
  static char substituted[kIniArgumentChars];  // kept off the stack; main thread only
  ArgumentFields fields;
  int end = kResultOk;
  if (!ReadArgument(context, line, substituted, sizeof(substituted), &fields, &end)) return end;
  char file[kPathChars];
  CopyText(file, sizeof(file), fields.field[1]);
  if (!ResolveIniFile(context, file)) return FailLine(context, line, kResultIniNotFound);
  char value[kIniValueChars] = "";
  DoorReadIniValue(fields.field[2], fields.field[3], value, sizeof(value), file);
  return StoreOrFail(context, line, fields.field[0], value);
}

int SetIniFileValueCommand(ScriptContext* context, const ScriptLine* line) {
  LineArgument<> argument;
  if (!argument.Read(context, line)) return argument.end;
  char value[kPathChars], file[kPathChars];
  int result = SubstituteActingText(context, line, argument[3], value, sizeof(value));
  if (result != kResultOk) return result;
  result = SubstituteActingText(context, line, argument[0], file, sizeof(file));
  if (result != kResultOk) return result;
  if (!ResolveIniFile(context, file)) return IniFileNotFound(context, line);
  // An empty value stays a key. A read-only or held file takes nothing: 19 (the read-only
  // test is explicit, as Wine run by root would write through the attribute).
  if (IsFileLocked(file) || !DoorWriteIniValue(argument[1], argument[2], value, file)) {
    return FailLine(context, line, kResultCannotWriteIni);
  }
  return kResultOk;
}

int FindIniFileValueCommand(ScriptContext* context, const ScriptLine* line) {
  char text[kArgumentCopyChars];
  CopyText(text, sizeof(text), line->argumentText);
  ArgumentFields fields;
  const int form = SplitArgument(*CommandRowOf(line->opcode), text, &fields);
  // Without "=" there is no variable to answer in; any other fault of the form answers FALSE.
  if (form == kResultNowhereToPutValue) return kResultOk;
  bool found = false;
  char file[kPathChars];
  CopyText(file, sizeof(file), fields.field[1]);
  if (form == kResultOk && ResolveIniFile(context, file)) {
    char value[kIniValueChars] = "";
    found = DoorReadIniValue(fields.field[2], fields.field[3], value, sizeof(value), file) > 0;
  }
  return SymbolSet(context->symbols, fields.field[0], TrueOrFalse(found));
}

int DeleteIniFileSectionCommand(ScriptContext* context, const ScriptLine* line) {
  LineArgument<> argument;
  if (!argument.Read(context, line)) return argument.end;
  char file[kPathChars];
  int result = SubstituteActingText(context, line, argument[0], file, sizeof(file));
  if (result != kResultOk) return result;
  TrimText(file);
  if (!ResolveIniFile(context, file)) return IniFileNotFound(context, line);
  if (!DeleteIniSection(argument[1], file)) return FailLine(context, line, kResultBadSwitch);
  return kResultOk;
}
