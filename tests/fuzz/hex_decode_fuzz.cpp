// Hexadecimal decoding of the command-line values, sized as its two callers size it: an
// interface block of exactly half the digits, and the parameter text's fixed buffer.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "app/command_line.h"
#include "host/host_text.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto text = HeapText(data, size);

  const size_t pairs = std::strlen(text.get()) / 2;
  auto block = HeapBlock(pairs);
  if (DecodeHexText(text.get(), reinterpret_cast<unsigned char*>(block.get()), pairs) != pairs) std::abort();

  const size_t paramsSize = kParamsValueChars / 2 + 1;
  auto params = HeapBlock(paramsSize);
  const size_t length = DecodeHexText(text.get(), reinterpret_cast<unsigned char*>(params.get()), paramsSize - 1);
  if (length >= paramsSize) std::abort();
  params[length] = '\0';

  DecodeHexText(text.get(), nullptr, 0);  // nothing may be written
  return 0;
}
