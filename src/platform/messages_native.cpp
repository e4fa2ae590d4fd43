#include <cstring>

#include "platform/messages.h"

namespace {
struct MessageRow {
  unsigned id;
  const char* text;
};

const MessageRow kMessages[] = {
#define KIV_RESULT(code, id, text) {id, text},
#define KIV_STRING(id, text) {id, text},
#include "messages.def"
#undef KIV_RESULT
#undef KIV_STRING
};
}  // namespace

void SetMessageInstance(void*) {}

int LoadMessageText(unsigned id, char* buffer, int size) {
  if (buffer == nullptr || size <= 0) return 0;
  buffer[0] = '\0';
  for (const MessageRow& row : kMessages) {
    if (row.id != id) continue;
    size_t length = std::strlen(row.text);
    if (length > static_cast<size_t>(size - 1)) length = static_cast<size_t>(size - 1);
    std::memcpy(buffer, row.text, length);
    buffer[length] = '\0';
    return static_cast<int>(length);
  }
  return 0;
}
