#include "host/host_text.h"

#include <cstdlib>
#include <cstring>

#include "base/text.h"

size_t DecodeHexText(const char* text, unsigned char* dest, size_t size) {
  size_t written = 0;
  for (const char* p = text; p[0] != '\0' && p[1] != '\0' && written < size; p += 2) {
    const char pair[3] = {p[0], p[1], '\0'};
    dest[written++] = static_cast<unsigned char>(std::strtoul(pair, nullptr, 16));
  }
  return written;
}

namespace {

// The characters of a key: letters (those of the ANSI code page too), digits, "_", "-", ".".
bool IsKeyChar(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9') ||
         byte == '_' || byte == '-' || byte == '.' || byte >= 0x80;
}

}  // namespace

void FindParamValue(const char* params, const char* key, char* dest, size_t size) {
  if (size == 0) return;
  dest[0] = '\0';
  const size_t keyLength = std::strlen(key);
  // An empty key would match at every position, the terminator included, and the search
  // would step past it: it names no entry.
  if (keyLength == 0) return;
  for (const char* at = std::strstr(params, key); at != nullptr; at = std::strstr(at + 1, key)) {
    // A whole key only: id is not the tail of uid.
    if (at != params && IsKeyChar(at[-1])) continue;
    if (at[keyLength] != '=' || at[keyLength + 1] != '"') continue;
    const char* value = at + keyLength + 2;
    const char* close = std::strchr(value, '"');
    if (close != nullptr) CopyText(dest, size, value, static_cast<size_t>(close - value));
    return;
  }
}
