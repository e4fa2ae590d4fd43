#include "base/text.h"

#include <cstring>

bool CopyText(char* dest, size_t size, const char* source, size_t count) {
  if (size == 0) return false;
  size_t length = 0;
  while (length < count && source[length] != '\0' && length < size - 1) ++length;
  std::memcpy(dest, source, length);
  dest[length] = '\0';
  return length == count || source[length] == '\0';
}

bool AppendText(char* dest, size_t size, const char* source) {
  size_t used = std::strlen(dest);
  if (used >= size) return false;
  return CopyText(dest + used, size - used, source);
}

void TrimText(char* text) {
  size_t start = 0;
  while (text[start] == ' ' || text[start] == '\t') ++start;
  size_t end = std::strlen(text);
  while (end > start && (text[end - 1] == ' ' || text[end - 1] == '\t' || text[end - 1] == '\r' ||
                         text[end - 1] == '\n')) {
    --end;
  }
  std::memmove(text, text + start, end - start);
  text[end - start] = '\0';
}

int32_t TextToLong(const char* text) {
  while (*text == ' ' || (*text >= '\t' && *text <= '\r')) ++text;
  bool negative = *text == '-';
  if (*text == '-' || *text == '+') ++text;
  int64_t value = 0;
  for (; *text >= '0' && *text <= '9'; ++text) {
    value = value * 10 + (*text - '0');
    if (value > INT64_C(0x80000000)) value = INT64_C(0x80000000);
  }
  if (negative) return static_cast<int32_t>(-value);
  return value > INT32_MAX ? INT32_MAX : static_cast<int32_t>(value);
}

bool StartsWithIgnoringCase(const char* text, const char* prefix) {
  for (; *prefix != '\0'; ++text, ++prefix) {
    if (AsciiUpper(*text) != AsciiUpper(*prefix)) return false;
  }
  return true;
}

bool EqualIgnoringCase(const char* a, const char* b) {
  return std::strlen(a) == std::strlen(b) && StartsWithIgnoringCase(a, b);
}
