#include "app/what_if_run.h"

#include <windows.h>

#include <cstdio>
#include <string>

#include "base/text.h"
#include "log/log.h"
#include "platform/change_door.h"
#include "platform/final_status.h"
#include "platform/what_if_plan.h"
#include "platform/win32_handles.h"

namespace {

constexpr int kExitUsage = 56;
constexpr size_t kStatusTextChars = 2048;

struct AnswerRow {
  const char* word;
  int answer;
};
const AnswerRow kAnswers[] = {{"", 0}, {"YES", IDYES}, {"NO", IDNO}};

// The plan's JSON written whole; false (with the Win32 error set) when it could not be.
bool WritePlanFile(const char* path, const std::string& json) {
  KernelHandle file(CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.get() == nullptr) return false;
  DWORD written = 0;
  return WriteFile(file.get(), json.data(), static_cast<DWORD>(json.size()), &written, nullptr) &&
         written == json.size();
}

}  // namespace

int StartWhatIf(const StartupOptions& options) {
  const AnswerRow* answer = nullptr;
  for (const AnswerRow& row : kAnswers) {
    if (EqualIgnoringCase(options.whatIfAnswer, row.word)) answer = &row;
  }
  if (answer == nullptr) {
    LogError("WhatIfAnswer must be YES or NO, not %s.", options.whatIfAnswer);
    return kExitUsage;
  }
  if (options.rollback) {
    LogError("A what-if run changes nothing: /Rollback cannot be part of it.");
    return kExitUsage;
  }
  if (options.journal[0] != '\0') LogStatus("What-if: the journal folder %s is not used.", options.journal);
  SetWhatIfAnswer(answer->answer);
  SetDoorMode(DoorMode::kDescribe);
  LogStatus("What-if run: nothing is changed; each change is written as a plan line.");
  return 0;
}

void EndWhatIf(const StartupOptions& options, const char* section, int exitCode) {
  SetDoorMode(DoorMode::kAct);
  const size_t changes = PlannedChangeCount();
  const size_t forecasts = ForecastChangeCount();
  LogStatus("What-if: %u changes planned (%u of them forecasts), exit code %d.", static_cast<unsigned>(changes),
            static_cast<unsigned>(forecasts), exitCode);
  if (options.plan[0] != '\0') {
    if (WritePlanFile(options.plan, PlanJson(options.script, section, exitCode))) {
      LogStatus("What-if: the plan is in %s.", options.plan);
    } else {
      LogError("What-if: the plan file %s cannot be written (error %lu).", options.plan,
               static_cast<unsigned long>(GetLastError()));
    }
  }
  // The host's text begins with the plan's count; what the script or its failure said follows.
  char text[kStatusTextChars];
  FinalStatusText(text, sizeof(text));
  char joined[kStatusTextChars];
  std::snprintf(joined, sizeof(joined), "What-if: %u changes planned%s%s", static_cast<unsigned>(changes),
                text[0] != '\0' ? "<br>" : "", text);
  SetFinalStatus(FinalStatusCode(), joined);
}
