#include "engine/argument_forms.h"

#include <cstring>

#include "base/text.h"

const char* const kRegistryRootPrefixes[kRegistryRootCount] = {"HKLM\\", "HKCR\\", "HKCU\\", "HKUS\\", "HKCC\\"};

const char* const kSpecialFolderNames[kSpecialFolderCount] = {
    "TEMP",      "WINDOWS",          "PROGRAM_FILES", "DESKTOP",        "DOCUMENTS",
    "STARTMENU", "COMMON_STARTMENU", "STARTUP",       "COMMON_STARTUP", "CURRENT_KIVSCRIPT",
};

int RegistryRootIndex(const char* text) {
  for (int i = 0; i < kRegistryRootCount; ++i) {
    if (std::strncmp(text, kRegistryRootPrefixes[i], kRootPrefixChars) == 0) return i;
  }
  return -1;
}

int SpecialFolderIndex(const char* name) {
  for (int i = 0; i < kSpecialFolderCount; ++i) {
    if (EqualIgnoringCase(name, kSpecialFolderNames[i])) return i;
  }
  return -1;
}

bool IsRootOnlyKeyPath(const char* keyPath) {
  for (const char* p = keyPath; *p != '\0'; ++p) {
    if (*p != '\\' && *p != ' ' && *p != '\t') return false;
  }
  return true;
}
