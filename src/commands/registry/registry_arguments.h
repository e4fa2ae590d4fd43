// Registry arguments as the handlers use them: the shared forms of engine/argument_forms with
// the root prefix turned into its predefined key and the data type into its REG_ type.
#pragma once
#include <windows.h>

#include "engine/argument_forms.h"

// 0 and the predefined key of the prefix `text` starts with, or 20. The subkey path starts
// at text + kRootPrefixChars.
int ParseRegistryRoot(const char* text, HKEY* root);

struct RegistryQuery : RegistryQueryText {
  HKEY root;
};
// 0; 23 without "=", 20 without a root, 22 without "," after the key path.
int ParseRegistryQuery(const char* text, RegistryQuery* query);

struct RegistryAssignment : RegistryAssignmentText {
  HKEY root;
  DWORD type;  // REG_SZ or REG_DWORD
};
// 0; 20 without a root, 22 without "," after the key path, 21 without "=" after the value name.
int ParseRegistryAssignment(const char* text, RegistryAssignment* assignment);
