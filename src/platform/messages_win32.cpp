#include <windows.h>

#include "platform/messages.h"

namespace {
HINSTANCE g_instance = nullptr;
}

void SetMessageInstance(void* instance) { g_instance = static_cast<HINSTANCE>(instance); }

int LoadMessageText(unsigned id, char* buffer, int size) {
  if (buffer == nullptr || size <= 0) return 0;
  buffer[0] = '\0';
  HINSTANCE instance = g_instance != nullptr ? g_instance : GetModuleHandleA(nullptr);
  int length = LoadStringA(instance, id, buffer, size);
  if (length <= 0) buffer[0] = '\0';
  return length > 0 ? length : 0;
}
