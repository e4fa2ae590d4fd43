#include "commands/system/system_commands.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <ctime>

#include "platform/change_door.h"
#include "platform/file_version.h"
#include "platform/message_wait.h"
#include "engine/acting_text.h"
#include "engine/argument_reader.h"
#include "engine/arguments.h"
#include "engine/keywords.h"
#include "engine/report.h"
#include "engine/result_codes.h"
#include "engine/symbols.h"
#include "base/text.h"
#include "log/log.h"
#include "platform/win32_handles.h"
#include "platform/windows_family.h"

namespace {

const char kKivrunVersion[] = "1.3";
constexpr size_t kTimeStampChars = 15;

// The variable named by the whole (trimmed) argument.
// The variable a query stores in: the whole argument, trimmed (its row's form).
void VariableName(ScriptContext* context, const ScriptLine* line, char* name) {
  LineArgument<> argument;
  argument.Read(context, line);  // the form has no faults
  CopyText(name, kPathChars, argument[0]);
}


bool WindowsVersion(OSVERSIONINFOA* version) {
  std::memset(version, 0, sizeof(*version));
  version->dwOSVersionInfoSize = sizeof(*version);
  return GetVersionExA(version) != FALSE;
}

struct ProductTypeRow {
  const char* productType;
  const char* osType;
};
const ProductTypeRow kProductTypes[] = {
    {"LanmanNT", "WIN32_NTS"},
    {"ServerNT", "WIN32_NTS"},
    {"WinNT", "WIN32_NTW"},
};

const char* const kProcessorWords[] = {"PROCESSOR_INTEL", "PROCESSOR_MIPS", "PROCESSOR_ALPHA", "PROCESSOR_PPC"};

}  // namespace

const HandlerRow SystemCommandRows[] = {
    {kOpSetWorkDir, SetWorkDirCommand},
    {kOpGetFileVersion, GetFileVersionCommand},
    {kOpGetOsType, GetOsTypeCommand},
    {kOpGetOsVersion, GetOsVersionCommand},
    {kOpGetWindowsDir, GetWindowsDirCommand},
    {kOpStripFileName, StripFileNameCommand},
    {kOpGetProcessorType, GetProcessorTypeCommand},
    {kOpWaitForTime, WaitForTimeCommand},
    {kOpExtendPath, ExtendPathCommand},
    {kOpIsAdmin, IsAdminCommand},
    {kOpGetKivrunVersion, GetKivrunVersionCommand},
    {kOpGetTimeStamp, GetTimeStampCommand},
    {kOpNone, nullptr},
};

int SetWorkDirCommand(ScriptContext* context, const ScriptLine* line) {
  LineArgument<kPathChars> argument;
  if (!argument.Read(context, line)) return argument.end;  // workDir stays
  CopyText(context->workDir, sizeof(context->workDir), argument[0]);
  return kResultOk;
}

int GetFileVersionCommand(ScriptContext* context, const ScriptLine* line) {
  // 40 without "="; an undefined variable fails the line: never "0" for a file not even named.
  LineArgument<> argument;
  char substituted[kPathChars];
  int end = kResultOk;
  if (!ReadAssignment(context, line, &argument, substituted, &end)) return end;
  const char* variable = argument[0];
  // Quotes around a path with blanks are not part of the name.
  char* out = substituted;
  for (const char* in = substituted; *in != '\0'; ++in) {
    if (*in != '"') *out++ = *in;
  }
  *out = '\0';

  char version[64];
  ReadFileVersion(DoorContentPath(substituted).c_str(), version, sizeof(version));
  return StoreOrFail(context, line, variable, version);
}

int GetOsTypeCommand(ScriptContext* context, const ScriptLine* line) {
  char variable[kPathChars];
  VariableName(context, line, variable);
  OSVERSIONINFOA version;
  bool known = WindowsVersion(&version);

  const char* osType = nullptr;
  if (known && version.dwPlatformId == VER_PLATFORM_WIN32_NT) {
    RegKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\ProductOptions", 0, KEY_READ,
                      key.receive()) != ERROR_SUCCESS) {
      return kResultCannotOpenRegistryKey;
    }
    char productType[kPathChars + 1] = "";
    DWORD size = kPathChars;
    if (RegQueryValueExA(key.get(), "ProductType", nullptr, nullptr, reinterpret_cast<BYTE*>(productType), &size) !=
        ERROR_SUCCESS) {
      // Unreadable: an empty text, as the command has always given; the code is only noted.
      context->errorCode = kResultCannotReadRegistry;
      return SymbolSet(context->symbols, variable, "");
    }
    for (const ProductTypeRow& row : kProductTypes) {
      if (EqualIgnoringCase(productType, row.productType)) osType = row.osType;
    }
  } else if (known && version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS) {
    osType = "WIN32_9X";
  }
  if (osType == nullptr) return kResultInvalidRegistryValue;  // returned, not reported
  return SymbolSet(context->symbols, variable, osType);
}

int GetOsVersionCommand(ScriptContext* context, const ScriptLine* line) {
  char variable[kPathChars];
  VariableName(context, line, variable);
  OSVERSIONINFOA version;
  WindowsVersion(&version);
  char text[32];
  std::snprintf(text, sizeof(text), "%d.%02d", static_cast<int>(version.dwMajorVersion),
                static_cast<int>(version.dwMinorVersion));
  return SymbolSet(context->symbols, variable, text);
}

int GetWindowsDirCommand(ScriptContext* context, const ScriptLine* line) {
  char variable[kPathChars];
  VariableName(context, line, variable);
  char folder[kPathChars];
  UINT length = GetWindowsDirectoryA(folder, sizeof(folder));
  if (length == 0 || length >= sizeof(folder)) return FailLine(context, line, kResultNoWindowsDir);
  return SymbolSet(context->symbols, variable, folder);
}

int StripFileNameCommand(ScriptContext* context, const ScriptLine* line) {
  char variable[kPathChars];
  VariableName(context, line, variable);
  // One byte more than a path holds: a longer value is refused, never stored back cut.
  char value[kPathChars + 1];
  int result = SymbolGet(context->symbols, variable, value, sizeof(value));
  if (result != kResultOk) return FailLine(context, line, result);
  result = RequireFits(context, line, value, kPathChars);
  if (result != kResultOk) return result;
  // The last backslash that is a character of its own, not the trail byte of a double-byte one.
  char* lastSlash = nullptr;
  for (char* p = value; *p != '\0'; p = CharNextA(p)) {
    if (*p == '\\') lastSlash = p;
  }
  if (lastSlash != nullptr) *lastSlash = '\0';
  return StoreOrFail(context, line, variable, value);
}

int GetProcessorTypeCommand(ScriptContext* context, const ScriptLine* line) {
  char variable[kPathChars];
  VariableName(context, line, variable);
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  WORD architecture = info.wProcessorArchitecture;
  const char* word = architecture < sizeof(kProcessorWords) / sizeof(kProcessorWords[0])
                         ? kProcessorWords[architecture]
                         : "PROCESSOR_UNKNOWN";
  return SymbolSet(context->symbols, variable, word);
}

int WaitForTimeCommand(ScriptContext* context, const ScriptLine* line) {
  char text[kPathChars];
  VariableName(context, line, text);
  // A bare variable name stands for its value; %%NAME%% is not substituted here.
  char value[kPathChars];
  if (SymbolGet(context->symbols, text, value, sizeof(value)) == kResultOk) CopyText(text, sizeof(text), value);
  int32_t milliseconds = TextToLong(text);
  if (milliseconds > 0) SleepPumping(static_cast<DWORD>(milliseconds));
  return kResultOk;
}

int ExtendPathCommand(ScriptContext* context, const ScriptLine* line) {
  // An empty entry in PATH means the current folder: programs would be found wherever
  // the caller happens to stand. The row's form refuses an empty folder (51).
  LineArgument<kExtendPathChars> argument;
  if (!argument.Read(context, line)) return argument.end;
  const char* folder = argument[0];

  // The whole of the current PATH is kept behind the new entry, however long it is: a PATH
  // cut short would break every program started afterwards.
  DWORD pathChars = GetEnvironmentVariableA("PATH", nullptr, 0);
  size_t size = std::strlen(folder) + 1 + pathChars + 1;
  char* value = static_cast<char*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size));
  if (value == nullptr) return kResultOk;
  std::snprintf(value, size, "%s;", folder);
  if (pathChars > 0) {
    size_t used = std::strlen(value);
    GetEnvironmentVariableA("PATH", value + used, static_cast<DWORD>(size - used));
  }
  DoorSetProcessPath(value);
  LogStatus("Path Is: %s", value);
  HeapFree(GetProcessHeap(), 0, value);
  return kResultOk;
}

int IsAdminCommand(ScriptContext* context, const ScriptLine* line) {
  LineArgument<> argument;
  if (!argument.Read(context, line)) return argument.end;  // no variable named: 51
  bool admin = true;  // the 9x family has no rights to lack
  if (IsNtFamily()) {
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    admin = manager != nullptr;
    if (manager != nullptr) CloseServiceHandle(manager);
  }
  return StoreOrFail(context, line, argument[0], TrueOrFalse(admin));
}

int GetKivrunVersionCommand(ScriptContext* context, const ScriptLine* line) {
  char variable[kPathChars];
  VariableName(context, line, variable);
  return StoreOrFail(context, line, variable, kKivrunVersion);
}

int GetTimeStampCommand(ScriptContext* context, const ScriptLine* line) {
  LineArgument<kPathChars> argument;  // NAME[=GMT], substituted whole
  if (!argument.Read(context, line)) return argument.end;
  const char* text = argument[0];
  const bool universal = EqualIgnoringCase(argument[1], "GMT");

  std::time_t now = std::time(nullptr);
  const std::tm* parts = universal ? std::gmtime(&now) : std::localtime(&now);
  char stamp[kTimeStampChars + 8] = "";
  if (parts != nullptr) {
    std::snprintf(stamp, sizeof(stamp), "%04d%02d%02d%02d%02d%02d", parts->tm_year + 1900, parts->tm_mon + 1,
                  parts->tm_mday, parts->tm_hour, parts->tm_min, parts->tm_sec);
  }
  if (SymbolSet(context->symbols, text, stamp) != kResultOk) FailLine(context, line, kResultNoMemory);
  return kResultOk;  // a failed store is reported, yet the line succeeds
}
