#include "app/journal_run.h"

#include <windows.h>

#include <cstdio>

#include "log/log.h"
#include "platform/change_door.h"
#include "platform/change_journal.h"
#include "platform/final_status.h"

namespace {

constexpr size_t kStatusTextChars = 2048;

// The host's final status text with a sentence after it.
void AddToFinalStatus(const char* sentence) {
  char text[kStatusTextChars];
  FinalStatusText(text, sizeof(text));
  char joined[kStatusTextChars];
  std::snprintf(joined, sizeof(joined), "%s<br>%s", text, sentence);
  SetFinalStatus(FinalStatusCode(), joined);
}

}  // namespace

int StartJournal(const char* folder, bool rollbackOnly) {
  unsigned long error = 0;
  const JournalOpen opened = OpenJournal(folder, &error);
  if (opened == JournalOpen::kBusy) {
    LogError("Journal folder %s is in use by another run.", folder);
    return kExitJournalUnusable;
  }
  if (opened == JournalOpen::kUnwritable) {
    LogError("Journal folder %s cannot be written (error %lu).", folder, error);
    return kExitJournalUnusable;
  }
  LogStatus("Journal: %s", JournalFolder());
  if (HasUnfinishedJournal()) {
    LogStatus("Recovering the unfinished run journalled in %s.", JournalFolder());
    if (RollBackJournal().failed > 0) {
      LogError("The unfinished run in %s could not be rolled back whole: nothing runs.", JournalFolder());
      CloseJournal();
      return kExitRollbackIncomplete;
    }
  }
  if (rollbackOnly) {
    CloseJournal();
    return 0;
  }
  if (!BeginJournal()) {
    LogError("Journal folder %s cannot be written (error %lu).", JournalFolder(),
             static_cast<unsigned long>(GetLastError()));
    CloseJournal();
    return kExitJournalUnusable;
  }
  SetDoorMode(DoorMode::kJournal);
  return 0;
}

void EndJournal(int exitCode) {
  SetDoorMode(DoorMode::kAct);
  if (exitCode == 0 && FinalStatusCode() >= 0) {
    CommitJournal();
  } else {
    const RollbackOutcome outcome = RollBackJournal();
    char sentence[128];
    if (outcome.failed == 0) {
      std::snprintf(sentence, sizeof(sentence), "The changes of this run were rolled back.");
    } else {
      std::snprintf(sentence, sizeof(sentence), "The rollback is incomplete: %d changes stay in the journal.",
                    outcome.failed);
    }
    AddToFinalStatus(sentence);
  }
}
