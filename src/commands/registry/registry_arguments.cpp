#include "commands/registry/registry_arguments.h"

#include <cstring>

#include "engine/result_codes.h"
#include "engine/text.h"

namespace {

struct RootPrefix {
  const char* prefix;
  HKEY key;
};
const RootPrefix kRoots[] = {
    {"HKLM\\", HKEY_LOCAL_MACHINE}, {"HKCR\\", HKEY_CLASSES_ROOT}, {"HKCU\\", HKEY_CURRENT_USER},
    {"HKUS\\", HKEY_USERS},         {"HKCC\\", HKEY_CURRENT_CONFIG},
};

// Copies up to `stop` into a 260-character buffer; gives the position of `stop`, or nullptr
// when it does not come within the 259 characters the buffer holds.
const char* CopyUntil(const char* text, char stop, char* dest) {
  size_t n = 0;
  while (text[n] != '\0' && text[n] != stop && n < kPathChars - 1) {
    dest[n] = text[n];
    ++n;
  }
  dest[n] = '\0';
  return text[n] == stop ? text + n : nullptr;
}

}  // namespace

int ParseRegistryRoot(const char* text, HKEY* root) {
  for (const RootPrefix& prefix : kRoots) {
    if (std::strncmp(text, prefix.prefix, kRootPrefixChars) == 0) {
      *root = prefix.key;
      return kResultOk;
    }
  }
  return kResultNoRegistryRoot;
}

int ParseRegistryQuery(const char* text, RegistryQuery* query) {
  const char* equals = CopyUntil(text, '=', query->variable);
  if (equals == nullptr) return kResultNowhereToPutValue;

  char key[kArgumentCopyChars];
  CopyText(key, sizeof(key), equals + 1);
  TrimText(key);
  if (ParseRegistryRoot(key, &query->root) != kResultOk) return kResultNoRegistryRoot;

  const char* comma = CopyUntil(key + kRootPrefixChars, ',', query->keyPath);
  if (comma == nullptr) return kResultNoSubkey;
  CopyText(query->valueName, sizeof(query->valueName), comma + 1);  // commas and "=" included

  TrimText(query->keyPath);
  TrimText(query->valueName);
  TrimText(query->variable);
  return kResultOk;
}

int ParseRegistryAssignment(const char* text, RegistryAssignment* assignment) {
  if (ParseRegistryRoot(text, &assignment->root) != kResultOk) return kResultNoRegistryRoot;
  const char* comma = CopyUntil(text + kRootPrefixChars, ',', assignment->keyPath);
  if (comma == nullptr) return kResultNoSubkey;
  const char* equals = CopyUntil(comma + 1, '=', assignment->valueName);
  if (equals == nullptr) return kResultNoValueName;
  CopyText(assignment->data, sizeof(assignment->data), equals + 1);
  assignment->type = REG_SZ;

  TrimText(assignment->keyPath);
  TrimText(assignment->valueName);
  TrimText(assignment->data);

  // An optional type prefix: /REG_SZ: or /REG_DWORD:, in any case. Other text with a colon
  // (C:\Path) is string data as it stands.
  char* colon = std::strchr(assignment->data, ':');
  if (colon == nullptr) return kResultOk;
  *colon = '\0';
  DWORD type = 0;
  if (EqualIgnoringCase(assignment->data, "/REG_SZ")) type = REG_SZ;
  if (EqualIgnoringCase(assignment->data, "/REG_DWORD")) type = REG_DWORD;
  if (type == 0) {
    *colon = ':';
    return kResultOk;
  }
  assignment->type = type;
  std::memmove(assignment->data, colon + 1, std::strlen(colon + 1) + 1);  // not trimmed again
  return kResultOk;
}
