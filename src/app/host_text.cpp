#include "app/host_text.h"

#include <cstdlib>
#include <cstring>

#include "engine/text.h"

size_t DecodeHexText(const char* text, unsigned char* dest, size_t size) {
  size_t written = 0;
  for (const char* p = text; p[0] != '\0' && p[1] != '\0' && written < size; p += 2) {
    const char pair[3] = {p[0], p[1], '\0'};
    dest[written++] = static_cast<unsigned char>(std::strtoul(pair, nullptr, 16));
  }
  return written;
}

void FindParamValue(const char* params, const char* key, char* dest, size_t size) {
  if (size == 0) return;
  dest[0] = '\0';
  const size_t keyLength = std::strlen(key);
  // An empty key would match at every position, the terminator included, and the search
  // would step past it: it names no entry.
  if (keyLength == 0) return;
  for (const char* at = std::strstr(params, key); at != nullptr; at = std::strstr(at + 1, key)) {
    if (at[keyLength] != '=' || at[keyLength + 1] != '"') continue;
    const char* value = at + keyLength + 2;
    const char* close = std::strchr(value, '"');
    if (close != nullptr) CopyText(dest, size, value, static_cast<size_t>(close - value));
    return;
  }
}
