#include "commands/registry/registry_commands.h"

#include <cstdio>
#include <cstring>

#include "base/text.h"
#include "commands/registry/registry_arguments.h"
#include "engine/acting_text.h"
#include "engine/argument_reader.h"
#include "engine/keywords.h"
#include "engine/report.h"
#include "engine/result_codes.h"
#include "engine/symbols.h"
#include "platform/change_door.h"
#include "platform/win32_handles.h"

namespace {

constexpr size_t kRegistryDataBytes = 260;


// A value read into 260 bytes. The extra byte keeps string data of exactly 260 bytes
// terminated.
struct RegistryData {
  BYTE bytes[kRegistryDataBytes + 1];
  DWORD type;
};

enum class ValueRead { kRead, kMissing, kTooLong };

// A value longer than the 260 bytes is told apart from a missing one: it exists, but it
// cannot be read whole. A missing key reads as a missing value.
ValueRead QueryValue(const char* keyText, const char* name, RegistryData* data) {
  std::memset(data->bytes, 0, sizeof(data->bytes));
  DWORD size = kRegistryDataBytes;
  LONG status = DoorQueryRegValue(RootKeyOf(keyText), keyText + kRootPrefixChars, name, &data->type, data->bytes, &size);
  if (status == ERROR_SUCCESS) return ValueRead::kRead;
  return status == ERROR_MORE_DATA ? ValueRead::kTooLong : ValueRead::kMissing;
}

}  // namespace

const HandlerRow RegistryCommandRows[] = {
    {kOpFindRegKey, FindRegKeyCommand},
    {kOpGetRegValue, GetRegValueCommand},
    {kOpSetRegValue, SetRegValueCommand},
    {kOpCreateRegKey, CreateRegKeyCommand},
    {kOpDeleteRegValue, DeleteRegValueCommand},
    {kOpDeleteRegKey, DeleteRegKeyCommand},
    {kOpDeleteEmptyRegKey, DeleteEmptyRegKeyCommand},
    {kOpIsRegKeyEmpty, IsRegKeyEmptyCommand},
    {kOpDeleteRegKeyRecursive, DeleteRegKeyRecursiveCommand},
    {kOpFindRegValue, FindRegValueCommand},
    {kOpNone, nullptr},
};

int FindRegKeyCommand(ScriptContext* context, const ScriptLine* line) {
  LineArgument<> argument;
  if (!argument.Read(context, line)) return argument.end;
  const char* keyText = argument[1];
  const bool found = DoorRegKeyOpens(RootKeyOf(keyText), keyText + kRootPrefixChars, KEY_READ);
  return StoreOrFail(context, line, argument[0], TrueOrFalse(found));
}

int GetRegValueCommand(ScriptContext* context, const ScriptLine* line) {
  LineArgument<> argument;
  if (!argument.Read(context, line)) return argument.end;
  const char* variable = argument[0];
  const char* keyText = argument[1];

  if (!DoorRegKeyOpens(RootKeyOf(keyText), keyText + kRootPrefixChars, KEY_READ)) {
    return StoreOrFail(context, line, variable, "");
  }
  RegistryData data;
  char text[kRegistryDataBytes + 1] = "";
  const ValueRead read = QueryValue(keyText, argument[2], &data);
  // A value that does not fit is never stored cut: the variable keeps what it held.
  if (read == ValueRead::kTooLong) return FailLine(context, line, kResultInvalidRegistryValue);
  if (read == ValueRead::kRead) {
    if (data.type == REG_DWORD) {
      LONG number = 0;
      std::memcpy(&number, data.bytes, sizeof(number));
      std::snprintf(text, sizeof(text), "%ld", static_cast<long>(number));  // 4294967295 reads as -1
    } else {
      CopyText(text, sizeof(text), reinterpret_cast<const char*>(data.bytes));  // up to the first NUL
    }
  }
  return StoreOrFail(context, line, variable, text);
}

int SetRegValueCommand(ScriptContext* context, const ScriptLine* line) {
  LineArgument<> argument;
  if (!argument.Read(context, line)) return argument.end;
  // Data with an undefined variable, or too long for the 999 characters kept, is not written.
  char text[kRegistryDataChars];
  int result = SubstituteActingText(context, line, argument[2], text, sizeof(text));
  if (result != kResultOk) return result;

  const DWORD type = argument.fields.kind == kKindDword ? REG_DWORD : REG_SZ;
  DWORD number = static_cast<DWORD>(TextToLong(text));
  const BYTE* bytes = reinterpret_cast<const BYTE*>(text);
  DWORD size = static_cast<DWORD>(std::strlen(text) + 1);
  if (type == REG_DWORD) {
    bytes = reinterpret_cast<const BYTE*>(&number);
    size = sizeof(number);
  }

  const HKEY root = RootKeyOf(argument[0]);
  const char* keyPath = argument[0] + kRootPrefixChars;
  if (DoorRegKeyOpens(root, keyPath, KEY_READ | KEY_WRITE)) {
    if (DoorSetRegValue(root, keyPath, argument[1], type, bytes, size) != ERROR_SUCCESS) {
      return FailLine(context, line, kResultCannotWriteRegistry);
    }
    return kResultOk;
  }
  // A key that exists but may only be read is left as it is, and that is no failure.
  if (DoorRegKeyOpens(root, keyPath, KEY_READ)) return kResultOk;
  return FailLine(context, line, kResultCannotOpenRegistryKey);
}

int CreateRegKeyCommand(ScriptContext* context, const ScriptLine* line) {
  // The parent is opened before the new key's name is looked at: without a parent the line
  // creates nothing and is no failure, named or not.
  const CommandRow& row = *CommandRowOf(line->opcode);
  char text[kArgumentCopyChars];
  CopyText(text, sizeof(text), line->argumentText);
  ArgumentFields fields;
  const int form = SplitArgument(row, text, &fields);
  if (form == kResultNoRegistryRoot) return FailLine(context, line, form);

  const char* parentText = fields.field[0];
  const HKEY root = RootKeyOf(parentText);
  const char* parentPath = parentText + kRootPrefixChars;
  if (!DoorRegKeyOpens(root, parentPath, KEY_WRITE)) return kResultOk;
  if (form != kResultOk) return FailLine(context, line, form);  // no name: a mistake, and it says so
  char childPath[kArgumentCopyChars];
  CopyText(childPath, sizeof(childPath), parentPath);
  if (childPath[0] != '\0') AppendText(childPath, sizeof(childPath), "\\");
  if (!AppendText(childPath, sizeof(childPath), fields.field[1]) || !DoorRegKeyOpens(root, childPath, KEY_WRITE)) {
    DoorCreateRegKey(root, parentPath, fields.field[1]);  // a failure is not reported
  }
  return kResultOk;
}

int DeleteRegValueCommand(ScriptContext* context, const ScriptLine* line) {
  LineArgument<> argument;
  if (!argument.Read(context, line)) return argument.end;
  if (!DoorRegKeyOpens(RootKeyOf(argument[0]), argument[0] + kRootPrefixChars, KEY_WRITE)) return kResultOk;
  char name[kPathChars];
  int result = SubstituteVariables(context, argument[1], name, sizeof(name));
  if (result != kResultOk) return FailLine(context, line, result);
  DoorDeleteRegValue(RootKeyOf(argument[0]), argument[0] + kRootPrefixChars, name);  // a missing value is no error
  return kResultOk;
}

int DeleteRegKeyCommand(ScriptContext* context, const ScriptLine* line) {
  LineArgument<> argument;
  if (!argument.Read(context, line)) return argument.end;
  DoorDeleteRegKey(RootKeyOf(argument[0]), argument[0] + kRootPrefixChars);  // with subkeys left, the platform decides
  return kResultOk;
}

int DeleteEmptyRegKeyCommand(ScriptContext* context, const ScriptLine* line) {
  LineArgument<> argument;
  if (!argument.Read(context, line)) return argument.end;
  // Only a key without subkeys and without values goes. SHDeleteEmptyKeyA means the same,
  // but some of its versions look at the subkeys alone; the test is made here instead.
  const HKEY root = RootKeyOf(argument[0]);
  const char* keyPath = argument[0] + kRootPrefixChars;
  DWORD subkeys = 1, values = 1;
  if (!DoorRegKeyCounts(root, keyPath, &subkeys, &values)) return kResultOk;
  if (subkeys == 0 && values == 0) DoorDeleteRegKey(root, keyPath);
  return kResultOk;
}

int IsRegKeyEmptyCommand(ScriptContext* context, const ScriptLine* line) {
  LineArgument<> argument;
  if (!argument.Read(context, line)) return argument.end;
  // Values do not make a key non-empty; only subkeys do.
  DWORD subkeys = 0, values = 0;
  const bool empty = !DoorRegKeyCounts(RootKeyOf(argument[1]), argument[1] + kRootPrefixChars, &subkeys, &values) ||
                     subkeys == 0;
  return StoreOrFail(context, line, argument[0], TrueOrFalse(empty));
}

int DeleteRegKeyRecursiveCommand(ScriptContext* context, const ScriptLine* line) {
  LineArgument<> argument;
  if (!argument.Read(context, line)) return argument.end;
  DoorDeleteRegKeyTree(RootKeyOf(argument[0]), argument[0] + kRootPrefixChars);
  return kResultOk;
}

int FindRegValueCommand(ScriptContext* context, const ScriptLine* line) {
  LineArgument<> argument;
  if (!argument.Read(context, line)) return argument.end;  // returned, not reported
  // An empty string counts as no value; an empty value of any other type is found.
  // A value too long to read is there all the same.
  RegistryData data;
  const ValueRead read = QueryValue(argument[1], argument[2], &data);
  const bool found = read == ValueRead::kTooLong ||
                     (read == ValueRead::kRead && !(data.type == REG_SZ && data.bytes[0] == 0));
  return SymbolSet(context->symbols, argument[0], TrueOrFalse(found));
}
