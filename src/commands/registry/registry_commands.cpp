#include "commands/registry/registry_commands.h"

#include <cstdio>
#include <cstring>

#include "commands/registry/registry_arguments.h"
#include "commands/target_guard.h"
#include "engine/acting_text.h"
#include "engine/arguments.h"
#include "engine/keywords.h"
#include "engine/report.h"
#include "engine/result_codes.h"
#include "engine/symbols.h"
#include "engine/text.h"
#include "platform/win32_handles.h"

namespace {

constexpr size_t kRegistryDataBytes = 260;
constexpr size_t kSetDataChars = 1000;
constexpr size_t kSubkeyNameChars = 261;


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

// The key text of a line's whole argument, trimmed; false without a root prefix.
bool ParseKeyArgument(const ScriptLine* line, HKEY* root, char* keyText) {
  CopyText(keyText, kArgumentCopyChars, line->argumentText);
  TrimText(keyText);
  return ParseRegistryRoot(keyText, root) == kResultOk;
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

int FindRegKeyCommand(ScriptContext* context, ScriptLine* line) {
  char variable[kPathChars], keyText[kPathChars];
  int result = SplitAssignment(line->argumentText, variable, sizeof(variable), keyText, sizeof(keyText));
  if (result != kResultOk) return FailLine(context, line, result);
  HKEY root = nullptr;
  result = ParseRegistryRoot(keyText, &root);
  if (result != kResultOk) return FailLine(context, line, result);

  RegKey key;
  bool found = RegOpenKeyExA(root, keyText + kRootPrefixChars, 0, KEY_READ, key.receive()) == ERROR_SUCCESS;
  return StoreOrFail(context, line, variable, TrueOrFalse(found));
}

int GetRegValueCommand(ScriptContext* context, ScriptLine* line) {
  RegistryQuery query;
  int result = ParseRegistryQuery(line->argumentText, &query);
  if (result != kResultOk) return FailLine(context, line, result);

  RegKey key;
  if (RegOpenKeyExA(query.root, query.keyPath, 0, KEY_READ, key.receive()) != ERROR_SUCCESS) {
    return StoreOrFail(context, line, query.variable, "");
  }
  RegistryData data;
  char text[kRegistryDataBytes + 1] = "";
  const ValueRead read = QueryValue(key.get(), query.valueName, &data);
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
  return StoreOrFail(context, line, query.variable, text);
}

int SetRegValueCommand(ScriptContext* context, ScriptLine* line) {
  RegistryAssignment assignment;
  int result = ParseRegistryAssignment(line->argumentText, &assignment);
  if (result != kResultOk) return FailLine(context, line, result);
  // Data with an undefined variable, or too long for the 999 characters kept, is not written.
  char text[kSetDataChars];
  result = SubstituteActingText(context, line, assignment.data, text, sizeof(text));
  if (result != kResultOk) return result;

  DWORD number = static_cast<DWORD>(TextToLong(text));
  const BYTE* bytes = reinterpret_cast<const BYTE*>(text);
  DWORD size = static_cast<DWORD>(std::strlen(text) + 1);
  if (assignment.type == REG_DWORD) {
    bytes = reinterpret_cast<const BYTE*>(&number);
    size = sizeof(number);
  }

  RegKey key;
  if (RegOpenKeyExA(assignment.root, assignment.keyPath, 0, KEY_READ | KEY_WRITE, key.receive()) == ERROR_SUCCESS) {
    if (RegSetValueExA(key.get(), assignment.valueName, 0, assignment.type, bytes, size) != ERROR_SUCCESS) {
      return FailLine(context, line, kResultCannotWriteRegistry);
    }
    return kResultOk;
  }
  // A key that exists but may only be read is left as it is, and that is no failure.
  if (RegOpenKeyExA(assignment.root, assignment.keyPath, 0, KEY_READ, key.receive()) == ERROR_SUCCESS) {
    return kResultOk;
  }
  return FailLine(context, line, kResultCannotOpenRegistryKey);
}

int CreateRegKeyCommand(ScriptContext* context, ScriptLine* line) {
  char work[kArgumentCopyChars];
  CopyText(work, sizeof(work), line->argumentText);
  char parentText[kPathChars], name[kPathChars];
  parentText[0] = name[0] = '\0';
  const char* next = NextField(work, parentText, sizeof(parentText), ',');
  HKEY root = nullptr;
  int result = ParseRegistryRoot(parentText, &root);
  if (result != kResultOk) return FailLine(context, line, result);

  RegKey parent;
  if (RegOpenKeyExA(root, parentText + kRootPrefixChars, 0, KEY_WRITE, parent.receive()) != ERROR_SUCCESS) {
    return kResultOk;  // no parent, nothing created
  }
  // Without a name there is nothing to create: the line is a mistake and says so.
  if (next == nullptr || NextField(next, name, sizeof(name), ',') == nullptr || name[0] == '\0') {
    return FailLine(context, line, kResultBadSwitch);
  }
  RegKey child;
  if (RegOpenKeyExA(parent.get(), name, 0, KEY_WRITE, child.receive()) != ERROR_SUCCESS) {
    RegCreateKeyA(parent.get(), name, child.receive());  // a failure is not reported
  }
  return kResultOk;
}

int DeleteRegValueCommand(ScriptContext* context, ScriptLine* line) {
  char work[kArgumentCopyChars];
  CopyText(work, sizeof(work), line->argumentText);
  char* comma = std::strchr(work, ',');
  if (comma == nullptr) return FailLine(context, line, kResultBadSwitch);
  *comma = '\0';

  char keyText[kPathChars + 1], valueName[kPathChars];
  CopyText(keyText, sizeof(keyText), work);
  CopyText(valueName, sizeof(valueName), comma + 1);
  HKEY root = nullptr;
  int result = ParseRegistryRoot(keyText, &root);
  if (result != kResultOk) return FailLine(context, line, result);
  char* keyPath = keyText + kRootPrefixChars;
  TrimText(keyPath);
  TrimText(valueName);
  result = GuardRegistryKeyTarget(context, line, keyPath);
  if (result != kResultOk) return result;

  RegKey key;
  if (RegOpenKeyExA(root, keyPath, 0, KEY_WRITE, key.receive()) != ERROR_SUCCESS) return kResultOk;
  char name[kPathChars];
  result = SubstituteVariables(context, valueName, name, sizeof(name));
  if (result != kResultOk) {
    key.Close();
    return FailLine(context, line, result);
  }
  RegDeleteValueA(key.get(), name);  // a missing value is no error
  return kResultOk;
}

int DeleteRegKeyCommand(ScriptContext* context, ScriptLine* line) {
  HKEY root = nullptr;
  char keyText[kArgumentCopyChars];
  if (!ParseKeyArgument(line, &root, keyText)) return FailLine(context, line, kResultBadSwitch);
  int result = GuardRegistryKeyTarget(context, line, keyText + kRootPrefixChars);
  if (result != kResultOk) return result;
  RegDeleteKeyA(root, keyText + kRootPrefixChars);  // with subkeys left, the platform decides
  return kResultOk;
}

int DeleteEmptyRegKeyCommand(ScriptContext* context, ScriptLine* line) {
  HKEY root = nullptr;
  char keyText[kArgumentCopyChars];
  if (!ParseKeyArgument(line, &root, keyText)) return FailLine(context, line, kResultBadSwitch);
  int result = GuardRegistryKeyTarget(context, line, keyText + kRootPrefixChars);
  if (result != kResultOk) return result;
  // Only a key without subkeys and without values goes. SHDeleteEmptyKeyA means the same,
  // but some of its versions look at the subkeys alone; the test is made here instead.
  const char* keyPath = keyText + kRootPrefixChars;
  RegKey key;
  if (RegOpenKeyExA(root, keyPath, 0, KEY_READ, key.receive()) != ERROR_SUCCESS) return kResultOk;
  DWORD subkeys = 1, values = 1;
  RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr,
                   nullptr, nullptr);
  key.Close();
  if (subkeys == 0 && values == 0) RegDeleteKeyA(root, keyPath);
  return kResultOk;
}

int IsRegKeyEmptyCommand(ScriptContext* context, ScriptLine* line) {
  char variable[kPathChars], keyText[kPathChars];
  if (SplitAssignment(line->argumentText, variable, sizeof(variable), keyText, sizeof(keyText)) != kResultOk) {
    return FailLine(context, line, kResultBadSwitch);
  }
  TrimText(keyText);
  HKEY root = nullptr;
  int result = ParseRegistryRoot(keyText, &root);
  if (result != kResultOk) return FailLine(context, line, result);

  // Values do not make a key non-empty; only subkeys do.
  bool empty = true;
  RegKey key;
  if (RegOpenKeyA(root, keyText + kRootPrefixChars, key.receive()) == ERROR_SUCCESS) {
    DWORD subkeys = 0;
    if (RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr,
                         nullptr, nullptr, nullptr) == ERROR_SUCCESS) {
      empty = subkeys == 0;
    }
  }
  key.Close();
  return StoreOrFail(context, line, variable, TrueOrFalse(empty));
}

int DeleteRegKeyRecursiveCommand(ScriptContext* context, ScriptLine* line) {
  HKEY root = nullptr;
  char keyText[kArgumentCopyChars];
  if (!ParseKeyArgument(line, &root, keyText)) return FailLine(context, line, kResultNoRegistryRoot);
  int result = GuardRegistryKeyTarget(context, line, keyText + kRootPrefixChars);
  if (result != kResultOk) return result;
  DeleteRegKeyTree(root, keyText + kRootPrefixChars);
  return kResultOk;
}

int FindRegValueCommand(ScriptContext* context, ScriptLine* line) {
  RegistryQuery query;
  int result = ParseRegistryQuery(line->argumentText, &query);
  if (result != kResultOk) return result;  // returned, not reported

  bool found = false;
  RegKey key;
  if (RegOpenKeyExA(query.root, query.keyPath, 0, KEY_READ, key.receive()) == ERROR_SUCCESS) {
    RegistryData data;
    // An empty string counts as no value; an empty value of any other type is found.
    // A value too long to read is there all the same.
    const ValueRead read = QueryValue(key.get(), query.valueName, &data);
    found = read == ValueRead::kTooLong ||
            (read == ValueRead::kRead && !(data.type == REG_SZ && data.bytes[0] == 0));
  }
  key.Close();
  return SymbolSet(context->symbols, query.variable, TrueOrFalse(found));
}

void DeleteRegKeyTree(HKEY parent, const char* name) {
  RegKey key;
  if (RegOpenKeyA(parent, name, key.receive()) != ERROR_SUCCESS) return;
  DWORD subkeys = 0, values = 0;
  if (RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr,
                       nullptr, nullptr) != ERROR_SUCCESS) {
    return;
  }
  // Downwards: deleting a child does not move the children at lower indices.
  for (DWORD i = subkeys; i > 0 && subkeys > 0; --i) {
    char child[kSubkeyNameChars];
    if (RegEnumKeyA(key.get(), i - 1, child, sizeof(child)) != ERROR_SUCCESS) break;
    DeleteRegKeyTree(key.get(), child);
    --subkeys;  // whether or not the child went
  }
  for (DWORD j = values; j > 0 && values > 0; --j) {
    char valueName[kPathChars];
    DWORD nameChars = sizeof(valueName);
    if (RegEnumValueA(key.get(), j - 1, valueName, &nameChars, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
      break;
    }
    if (RegDeleteValueA(key.get(), valueName) == ERROR_SUCCESS) --values;
  }
  key.Close();
  if (values == 0 && subkeys == 0) RegDeleteKeyA(parent, name);
}
