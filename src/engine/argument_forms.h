// The names that several command forms know: the five upper-case registry root prefixes of a
// key written ROOT\subkey, and the folder names of GETSPECIALDIR. The forms themselves are
// the command rows' (engine/command_forms.h).
#pragma once
#include <cstddef>

// "HKLM\", "HKCR\", "HKCU\", "HKUS\" or "HKCC\" at the start of a key text, byte for byte.
constexpr size_t kRootPrefixChars = 5;
constexpr int kRegistryRootCount = 5;
extern const char* const kRegistryRootPrefixes[kRegistryRootCount];
// The index of the prefix `text` starts with, or -1 (the run gives 20).
int RegistryRootIndex(const char* text);

// True when the subkey path after the root prefix is empty or holds nothing but blanks and
// backslashes: a delete would act on the root key itself.
bool IsRootOnlyKeyPath(const char* keyPath);

// The folder names GETSPECIALDIR knows (matched without regard to case), in the order of
// its handler's table of where each folder comes from.
constexpr int kSpecialFolderCount = 10;
extern const char* const kSpecialFolderNames[kSpecialFolderCount];
// The index of `name`, or -1 (the run gives 51).
int SpecialFolderIndex(const char* name);
