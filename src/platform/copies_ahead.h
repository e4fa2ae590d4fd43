// The undo records of a list's coming copies, written ahead together. A journalled change
// costs a flushed record before it is made; a list of two thousand files would pay two
// thousand flushes, and a lookup of every target that is not there yet (Wine reads a whole
// folder to find out that a name is missing). So the door writes the records of the copies a
// list makes next, into one folder, with one flush, and answers each copy with its own
// record when it comes. A target that has changed since is kept anew by the copy.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

// What a record written ahead says of a copy's target.
struct CopyAhead {
  DWORD attributes = INVALID_FILE_ATTRIBUTES;  // INVALID_FILE_ATTRIBUTES: it was not there
  std::string kept;                            // where the old file goes ("" when not there)
};

// Writes the records of the copies into `targets` (the journal records): those in the first
// target's folder whose names a folder's listing answers exactly. False when the journal
// could not take them: nothing is then written ahead.
bool WriteCopiesAhead(const std::vector<std::string>& targets);

// The record written ahead for a copy into `target` on the line that runs, taken once.
bool TakeCopyAhead(const char* target, CopyAhead* ahead);
