// File and restart fixtures of the Windows tests.
#pragma once
#include <string>

// Writes `text` as the whole file, over a read-only one too.
void WriteFileText(const std::string& path, const std::string& text);
bool PathExists(const std::string& path);
// The NT family's pending deletions (PendingFileRenameOperations), as one text.
std::string PendingDeletions();
// Drops them all: the next start of the test prefix must not carry them out.
void ForgetPendingDeletions();
