// The version resource of a file, as GETFILEVERSION answers it and the what-if plan shows it.
#pragma once
#include <cstddef>

// "%u.%u.%u.%u" of the file version, or "0" when the file has none (or is missing).
void ReadFileVersion(const char* file, char* text, size_t size);
