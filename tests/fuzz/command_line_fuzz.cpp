// Kivrun.exe's command-line scan: the Log= search and the option scan, stepping one byte
// at a time and, as CharNextA does under a double-byte code page, over a lead byte's trail.
#include <cstdint>
#include <cstring>

#include "app/command_line.h"
#include "fuzz_support.h"

namespace {

const char* StepByte(const char* text) { return text + 1; }

// Shift-JIS lead bytes take their trail with them, unless the trail is the terminator.
const char* StepDoubleByte(const char* text) {
  const auto lead = static_cast<unsigned char>(text[0]);
  const bool isLead = (lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xFC);
  return isLead && text[1] != '\0' ? text + 2 : text + 1;
}

void ReadValue(const char* value) {
  if (std::strlen(value) >= kParamsValueChars) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto line = HeapText(data, size);

  auto log = HeapBlock(kLogValueChars);
  FindLogOption(line.get(), log.get(), kLogValueChars);
  ExpectTerminated(log.get(), kLogValueChars);

  auto options = std::unique_ptr<StartupOptions>(new StartupOptions);
  for (NextCharFunction step : {StepByte, StepDoubleByte}) {
    ScanOptions(line.get(), step, OptionActions{ReadValue, ReadValue}, options.get());
    ExpectTerminated(options->script, sizeof(options->script));
    ExpectTerminated(options->section, sizeof(options->section));
    ExpectTerminated(options->callBack, sizeof(options->callBack));
    ExpectTerminated(options->appUtil, sizeof(options->appUtil));
    ExpectTerminated(options->params, sizeof(options->params));
    ExpectTerminated(options->parent, sizeof(options->parent));
  }
  return 0;
}
