// A run with /Journal=<folder>: the folder's journal is opened before the script's first
// line (an unfinished one rolled back first) and committed or rolled back after its last.
#pragma once

constexpr int kExitJournalUnusable = 57;     // the folder cannot be written, or another run uses it
constexpr int kExitRollbackIncomplete = 58;  // an earlier run's changes could not all be undone

// Opens the journal and recovers what an earlier run left. 0 when the script may run (the
// door then records every change); otherwise the exit code, logged, and nothing ran. With
// `rollbackOnly` the journal is only rolled back: 0 when nothing is left to undo.
int StartJournal(const char* folder, bool rollbackOnly);

// The end of a journalled run, after its failure (if any) has reached the final status: a
// run the host is told succeeded (exit code 0 and a final status that is not negative)
// commits; any other rolls back, and the final status text says so. The folder stays held
// until CloseJournal (Kivrun.exe calls it last: what a commit kept goes in the final wait).
void EndJournal(int exitCode);
