// The argument forms that several commands share beyond NAME=VALUE: registry keys written
// ROOT\subkey with one of five upper-case root prefixes, the registry query and assignment,
// the special folder names, the file list entry and the INI read and write forms. Kivrun's handlers and the checker
// parse them here, so a rule changed here reaches both.
#pragma once
#include <cstddef>

#include "engine/script.h"

// "HKLM\", "HKCR\", "HKCU\", "HKUS\" or "HKCC\" at the start of a key text, byte for byte.
constexpr size_t kRootPrefixChars = 5;
constexpr int kRegistryRootCount = 5;
extern const char* const kRegistryRootPrefixes[kRegistryRootCount];
// The index of the prefix `text` starts with, or -1 (the run gives 20).
int RegistryRootIndex(const char* text);

// True when the subkey path after the root prefix is empty or holds nothing but blanks and
// backslashes: a delete would act on the root key itself.
bool IsRootOnlyKeyPath(const char* keyPath);

struct RegistryQueryText {  // VAR=ROOT\key path,value name
  char variable[kPathChars];
  int rootIndex;
  char keyPath[kPathChars];
  char valueName[kPathChars];
};
// 0; 23 without "=", 20 without a root, 22 without "," after the key path.
int ParseRegistryQueryText(const char* text, RegistryQueryText* query);

enum class RegistryDataType { kString, kDword };
struct RegistryAssignmentText {  // ROOT\key path,value name=[/REG_SZ:|/REG_DWORD:]data
  int rootIndex;
  char keyPath[kPathChars];
  char valueName[kPathChars];
  RegistryDataType dataType;
  char data[kPathChars];
};
// 0; 20 without a root, 22 without "," after the key path, 21 without "=" after the value name.
int ParseRegistryAssignmentText(const char* text, RegistryAssignmentText* assignment);

// The folder names GETSPECIALDIR knows (matched without regard to case), in the order of
// its handler's table of where each folder comes from.
constexpr int kSpecialFolderCount = 10;
extern const char* const kSpecialFolderNames[kSpecialFolderCount];
// The index of `name`, or -1 (the run gives 51).
int SpecialFolderIndex(const char* name);

// A FILECIO or FILECOW entry, source[,destination]: both trimmed, into kPathChars each;
// without a comma the destination is the source name.
void SplitListEntry(const char* text, char* source, char* destination);

struct IniReadArgs {  // VAR=file,section,key
  char variable[kPathChars];
  char file[kPathChars];
  char section[kPathChars];
  char key[kPathChars];
};
// 0; 23 without "=", 27 without "," after the file, 26 without "," after the section,
// 25 when the key does not fit.
int ParseIniReadArgs(const char* text, IniReadArgs* args);

struct IniWriteArgs {  // file,section,key=value
  char file[kPathChars];
  char section[kPathChars];
  char key[kPathChars];
  char value[kPathChars];
};
// 0; 27 without "," after the file, 26 without "," after the section, 25 without "=" after
// the key, 24 when the value does not fit.
int ParseIniWriteArgs(const char* text, IniWriteArgs* args);
