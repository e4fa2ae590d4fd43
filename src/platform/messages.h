// Message texts by string id: the string-table resource on Win32 (through the instance
// handle kept by start-up), the same rows compiled in natively.
#pragma once

// Copies message `id` into `buffer`, cut to size - 1 characters; gives its length,
// 0 when there is no such message (the buffer then holds an empty text).
int LoadMessageText(unsigned id, char* buffer, int size);

// The module whose string table is read (HINSTANCE on Win32); the program's own by default.
void SetMessageInstance(void* instance);
