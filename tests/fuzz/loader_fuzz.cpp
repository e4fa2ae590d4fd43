// The script loader, both ways a script reaches it: the input as a whole file through
// ScriptOpen (read, parsed, the start section looked up, closed again), and the input as
// a zero-terminated buffer parsed into an open context whose records ScriptClose frees.
// Every record the parse leaves must hold terminated texts and be found by its name.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "engine/loader.h"
#include "fuzz_support.h"

namespace {

const std::string& InputPath() {
  static const std::string path = TempScript("input.kiv");
  return path;
}

// A one-section script whose open context the buffer is parsed into.
const std::string& BasePath() {
  static const std::string path = [] {
    std::string made = TempScript("base.kiv");
    WriteFile(made, "[Main]\r\n", 8);
    return made;
  }();
  return path;
}

void RemoveTempScripts() {
  std::remove(InputPath().c_str());
  std::remove(BasePath().c_str());
}

void CheckRecords(const ScriptContext* context) {
  for (RecordLinks* links = context->sections->first; links != nullptr; links = links->next) {
    const ScriptSection* section = RecordFromLinks<ScriptSection>(links);
    ExpectTerminated(section->name, sizeof(section->name));
    if (FindSection(context->sections, section->name) == nullptr) std::abort();
    for (RecordLinks* l = section->lines->first; l != nullptr; l = l->next) {
      const ScriptLine* line = RecordFromLinks<ScriptLine>(l);
      ExpectTerminated(line->commandWord, sizeof(line->commandWord));
      ExpectTerminated(line->argumentText, sizeof(line->argumentText));
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The paths exist before the clean-up is registered, so they outlive it.
  static const bool registered = !InputPath().empty() && !BasePath().empty() && std::atexit(RemoveTempScripts) == 0;
  (void)registered;

  WriteFile(InputPath(), data, size);
  ScriptContext* opened = nullptr;
  if (ScriptOpen(InputPath().c_str(), "Main", "C:\\scripts", &opened) == 0) {
    CheckRecords(opened);
    ScriptClose(opened);
  }

  ScriptContext* context = nullptr;
  if (ScriptOpen(BasePath().c_str(), "Main", "", &context) != 0 || context == nullptr) std::abort();
  auto text = HeapText(data, size);
  ParseScript(context, text.get());
  CheckRecords(context);
  ScriptClose(context);
  return 0;
}
