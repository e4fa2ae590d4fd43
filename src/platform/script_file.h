// Read-only access to a script file for the loader: opened with read sharing,
// sized by its low 32 bits, read in one call. Closed when the object goes away.
#pragma once
#include <cstdint>

class ScriptFile {
 public:
  ScriptFile() = default;
  ~ScriptFile();
  ScriptFile(const ScriptFile&) = delete;
  ScriptFile& operator=(const ScriptFile&) = delete;

  bool Open(const char* path);
  // Size found by moving the file pointer to the end and back; only the low 32 bits count.
  uint32_t SizeLow32();
  // Reads up to `bytes` bytes in one call; gives how many arrived.
  uint32_t Read(void* buffer, uint32_t bytes);
  void Close();

 private:
  void* handle_ = nullptr;  // HANDLE on Win32, FILE* natively
};
