// %%NAME%% substitution against variables that are empty, long, oddly named or hold a
// reference themselves, into outputs from one byte to a handler's working copy.
#include <cstdint>
#include <cstdlib>

#include "engine/symbols.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const ScriptContext* context = FuzzContext();
  auto text = HeapText(data, size);

  for (size_t destSize : {size_t{1}, size_t{2}, size_t{16}, kPathChars, kArgumentCopyChars}) {
    auto dest = HeapBlock(destSize);
    bool cut = false;
    const int result = SubstituteVariables(context, text.get(), dest.get(), destSize, &cut);
    if (result != 0 && result != 28) std::abort();
    ExpectTerminated(dest.get(), destSize);
  }
  return 0;
}
