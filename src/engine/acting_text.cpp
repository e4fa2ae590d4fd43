#include "engine/acting_text.h"

#include <cstring>

#include "engine/report.h"
#include "engine/result_codes.h"
#include "engine/symbols.h"

int SubstituteWhole(const ScriptContext* context, const char* text, char* dest, size_t size) {
  bool cut = false;
  int result = SubstituteVariables(context, text, dest, size, &cut);
  if (result == kResultOk && cut) result = kResultNowhereToGetValue;
  if (result != kResultOk && size > 0) dest[0] = '\0';
  return result;
}

int SubstituteActingText(ScriptContext* context, const ScriptLine* line, const char* text, char* dest,
                         size_t size) {
  int result = SubstituteWhole(context, text, dest, size);
  return result == kResultOk ? kResultOk : FailLine(context, line, result);
}

int RequireFits(ScriptContext* context, const ScriptLine* line, const char* text, size_t size) {
  if (size > 0 && std::strlen(text) < size) return kResultOk;
  return FailLine(context, line, kResultNowhereToGetValue);
}
