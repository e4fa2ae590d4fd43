// Registry arguments in script text: keys written ROOT\subkey\path with one of five upper-case
// root prefixes, and the two argument shapes the registry commands share.
#pragma once
#include <windows.h>

#include "engine/script.h"

// "HKLM\", "HKCR\", "HKCU\", "HKUS\" or "HKCC\" at the start of `text`, byte for byte:
// 0 and the predefined key, or 20. The subkey path starts at text + kRootPrefixChars.
constexpr size_t kRootPrefixChars = 5;
int ParseRegistryRoot(const char* text, HKEY* root);

struct RegistryQuery {  // VAR=ROOT\key path,value name
  char variable[kPathChars];
  HKEY root;
  char keyPath[kPathChars];
  char valueName[kPathChars];
};
// 0; 23 without "=", 20 without a root, 22 without "," after the key path.
int ParseRegistryQuery(const char* text, RegistryQuery* query);

struct RegistryAssignment {  // ROOT\key path,value name=[/REG_SZ:|/REG_DWORD:]data
  HKEY root;
  char keyPath[kPathChars];
  char valueName[kPathChars];
  DWORD type;  // REG_SZ or REG_DWORD
  char data[kPathChars];
};
// 0; 20 without a root, 22 without "," after the key path, 21 without "=" after the value name.
int ParseRegistryAssignment(const char* text, RegistryAssignment* assignment);
