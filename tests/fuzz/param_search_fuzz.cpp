// The key="value" search in the host's parameter text. The input's first line is the key,
// the rest the parameter text; the value lands in buffers of one byte, a few bytes and
// GETPARAM's own size.
#include <cstdint>
#include <cstring>

#include "host/host_text.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const void* newline = std::memchr(data, '\n', size);
  const size_t keySize = newline != nullptr ? static_cast<size_t>(static_cast<const uint8_t*>(newline) - data) : size;
  const size_t rest = keySize < size ? keySize + 1 : size;
  auto key = HeapText(data, keySize);
  auto params = HeapText(data + rest, size - rest);

  for (size_t valueSize : {size_t{1}, size_t{5}, size_t{4097}}) {
    auto value = HeapBlock(valueSize);
    FindParamValue(params.get(), key.get(), value.get(), valueSize);
    ExpectTerminated(value.get(), valueSize);
  }
  return 0;
}
