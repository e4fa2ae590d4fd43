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
// cannot be read whole.
ValueRead QueryValue(HKEY key, const char* name, RegistryData* data) {
  std::memset(data->bytes, 0, sizeof(data->bytes));
  DWORD size = kRegistryDataBytes;
  LONG status = RegQueryValueExA(key, name, nullptr, &data->type, data->bytes, &size);
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
  RegKey key;
  const char* keyText = argument[1];
  bool found = RegOpenKeyExA(RootKeyOf(keyText), keyText + kRootPrefixChars, 0, KEY_READ, key.receive()) ==
               ERROR_SUCCESS;
  return StoreOrFail(context, line, argument[0], TrueOrFalse(found));
}

int GetRegValueCommand(ScriptContext* context, const ScriptLine* line) {
  LineArgument<> argument;
  if (!argument.Read(context, line)) return argument.end;
  const char* variable = argument[0];
  const char* keyText = argument[1];

  RegKey key;
  if (RegOpenKeyExA(RootKeyOf(keyText), keyText + kRootPrefixChars, 0, KEY_READ, key.receive()) != ERROR_SUCCESS) {
    return StoreOrFail(context, line, variable, "");
  }
  RegistryData data;
  char text[kRegistryDataBytes + 1] = "";
  const ValueRead read = QueryValue(key.get(), argument[2], &data);
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
  key.Close();
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
  RegKey key;
  if (RegOpenKeyExA(root, keyPath, 0, KEY_READ | KEY_WRITE, key.receive()) == ERROR_SUCCESS) {
    key.Close();
    if (DoorSetRegValue(root, keyPath, argument[1], type, bytes, size) != ERROR_SUCCESS) {
      return FailLine(context, line, kResultCannotWriteRegistry);
    }
    return kResultOk;
  }
  // A key that exists but may only be read is left as it is, and that is no failure.
  if (RegOpenKeyExA(root, keyPath, 0, KEY_READ, key.receive()) == ERROR_SUCCESS) return kResultOk;
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

  RegKey parent;
  const char* parentText = fields.field[0];
  if (RegOpenKeyExA(RootKeyOf(parentText), parentText + kRootPrefixChars, 0, KEY_WRITE, parent.receive()) !=
      ERROR_SUCCESS) {
    return kResultOk;
  }
  if (form != kResultOk) return FailLine(context, line, form);  // no name: a mistake, and it says so
  RegKey child;
  if (RegOpenKeyExA(parent.get(), fields.field[1], 0, KEY_WRITE, child.receive()) != ERROR_SUCCESS) {
    DoorCreateRegKey(RootKeyOf(parentText), parentText + kRootPrefixChars, fields.field[1]);  // a failure is not reported
  }
  return kResultOk;
}

int DeleteRegValueCommand(ScriptContext* context, const ScriptLine* line) {
  LineArgument<> argument;
  if (!argument.Read(context, line)) return argument.end;
  RegKey key;
  if (RegOpenKeyExA(RootKeyOf(argument[0]), argument[0] + kRootPrefixChars, 0, KEY_WRITE, key.receive()) !=
      ERROR_SUCCESS) {
    return kResultOk;
  }
  char name[kPathChars];
  int result = SubstituteVariables(context, argument[1], name, sizeof(name));
  if (result != kResultOk) {
    key.Close();
    return FailLine(context, line, result);
  }
  key.Close();
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
  RegKey key;
  if (RegOpenKeyExA(root, keyPath, 0, KEY_READ, key.receive()) != ERROR_SUCCESS) return kResultOk;
  DWORD subkeys = 1, values = 1;
  RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr,
                   nullptr, nullptr);
  key.Close();
  if (subkeys == 0 && values == 0) DoorDeleteRegKey(root, keyPath);
  return kResultOk;
}

int IsRegKeyEmptyCommand(ScriptContext* context, const ScriptLine* line) {
  LineArgument<> argument;
  if (!argument.Read(context, line)) return argument.end;
  // Values do not make a key non-empty; only subkeys do.
  bool empty = true;
  RegKey key;
  if (RegOpenKeyA(RootKeyOf(argument[1]), argument[1] + kRootPrefixChars, key.receive()) == ERROR_SUCCESS) {
    DWORD subkeys = 0;
    if (RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr,
                         nullptr, nullptr, nullptr) == ERROR_SUCCESS) {
      empty = subkeys == 0;
    }
  }
  key.Close();
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
  bool found = false;
  RegKey key;
  if (RegOpenKeyExA(RootKeyOf(argument[1]), argument[1] + kRootPrefixChars, 0, KEY_READ, key.receive()) ==
      ERROR_SUCCESS) {
    RegistryData data;
    // An empty string counts as no value; an empty value of any other type is found.
    // A value too long to read is there all the same.
    const ValueRead read = QueryValue(key.get(), argument[2], &data);
    found = read == ValueRead::kTooLong ||
            (read == ValueRead::kRead && !(data.type == REG_SZ && data.bytes[0] == 0));
  }
  key.Close();
  return SymbolSet(context->symbols, argument[0], TrueOrFalse(found));
}
