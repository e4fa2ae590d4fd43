// Rewriting a text file in place without ever losing it. The new text goes to a temporary
// file in the same folder, is checked to be there whole, and only then takes the place of
// the original; the original is never cut first. Used by every command that rewrites a file
// it does not own (DELETEINIFILESECTION, REMOVESCANEXEFROMAUTOEXEC).
#pragma once
#include <string>

// Reads the whole file (opened for reading, shared for reading only). False when it cannot
// be opened or does not arrive whole.
bool ReadTextFile(const char* path, std::string* text);

// Writes `text` in place of the existing file at `path`, keeping its attributes. True when
// the file now holds the text; false when the file is missing, read-only, or anything
// fails, and then the file is as it was and no temporary file is left behind.
bool ReplaceFileText(const char* path, const std::string& text);

// The same by a given route (tests take the 9x route on the NT family this way).
bool ReplaceFileTextByRoute(const char* path, const std::string& text, bool ntFamily);
