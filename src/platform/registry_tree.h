// The registry as the door and the journal read, write and delete it: whole values of any
// size, whole trees of keys and values, and the five root keys by number and name.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/journal_records.h"

// The roots scripts name, in the order of their prefixes (HKLM, HKCR, HKCU, HKUS, HKCC).
constexpr int kRootKeyCount = 5;
HKEY RootKeyAt(int index);
// The short name of a root ("HKLM"), or "?" for another key.
const char* RootKeyName(HKEY root);
// A root as the journal stores it, and back.
uint32_t RootKeyNumber(HKEY root);
HKEY RootKeyFromNumber(uint32_t number);

// One value, whole; false when it is not there or cannot be read.
bool ReadRegValue(HKEY key, const char* name, DWORD* type, std::string* data);

// The key and everything under it, parents before children; false when it cannot be opened.
bool ReadRegTree(HKEY root, const char* path, std::vector<RegTreeEntry>* entries);
// Makes every key of the tree again and sets every value; false when one fails.
bool WriteRegTree(HKEY root, const char* path, const std::vector<RegTreeEntry>& entries);
// Deletes the key with its subkeys and values; what cannot go is left, the rest goes.
void DeleteRegTree(HKEY parent, const char* name);
