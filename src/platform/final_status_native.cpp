#include <string>

#include "platform/final_status.h"

namespace {
int32_t g_code = 0;
std::string g_text;
}  // namespace

void SetFinalStatus(int32_t code, const char* text) {
  g_code = code;
  g_text = text;
}

int32_t FinalStatusCode() { return g_code; }

void FinalStatusText(char* dest, size_t size) {
  if (size == 0) return;
  size_t length = g_text.size() < size - 1 ? g_text.size() : size - 1;
  g_text.copy(dest, length);
  dest[length] = '\0';
}

void ResetFinalStatus() {
  g_code = 0;
  g_text.clear();
}
