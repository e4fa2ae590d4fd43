// What the fuzz targets share: temporary script files, heap blocks of exactly the size a
// caller would pass, and a context whose variables cover the edges of substitution.
#pragma once
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "engine/script.h"
#include "engine/symbols.h"

// In memory where the system offers it: rewriting a file thousands of times on a disk
// costs milliseconds each.
inline std::string TempScript(const char* name) {
  const std::string file = "kivrun-fuzz-" + std::to_string(::getpid()) + "-" + name;
  const std::filesystem::path shm = "/dev/shm";
  std::error_code error;
  const bool inMemory = std::filesystem::is_directory(shm, error);
  return ((inMemory ? shm : std::filesystem::temp_directory_path()) / file).string();
}

inline void WriteFile(const std::string& path, const void* bytes, size_t size) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) std::abort();
  if (size > 0 && std::fwrite(bytes, 1, size, file) != size) std::abort();
  std::fclose(file);
}

// A heap block of exactly `size` bytes (a read or write one further lands in a redzone).
inline std::unique_ptr<char[]> HeapBlock(size_t size) { return std::unique_ptr<char[]>(new char[size]); }

// The input as C text, the way the callers hold it: its bytes up to the first zero byte,
// then a terminator, in a block of exactly that length plus one.
inline std::unique_ptr<char[]> HeapText(const uint8_t* data, size_t size) {
  const void* zero = std::memchr(data, '\0', size);
  const size_t length = zero != nullptr ? static_cast<size_t>(static_cast<const uint8_t*>(zero) - data) : size;
  std::unique_ptr<char[]> text = HeapBlock(length + 1);
  if (length > 0) std::memcpy(text.get(), data, length);
  text[length] = '\0';
  return text;
}

// An output buffer must come back terminated within its size; anything else is a fault.
inline void ExpectTerminated(const char* buffer, size_t size) {
  if (size > 0 && std::memchr(buffer, '\0', size) == nullptr) std::abort();
}

// A context holding only variables, built once: short and empty ones, values longer than
// what is inserted, a name at the length where names are cut and a value holding a reference.
inline const ScriptContext* FuzzContext() {
  static ScriptContext* context = [] {
    static ScriptContext made = {};
    made.symbols = SymbolTableCreate();
    const std::string names259(259, 'N');
    const std::string long300(300, 'x');
    const std::string long259(259, 'y');
    const struct {
      const char* name;
      const char* value;
    } variables[] = {
        {"A", "1.2.3.4"},
        {"B", "C"},
        {"K", ""},
        {"Empty", ""},
        {"Ver", "4.5.65535.70000"},
        {"Neg", "-1"},
        {"Dir", "C:\\Program Files\\Vorna"},
        {"Ref", "%%A%%"},
        {"Pct", "%"},
        {"Long", long300.c_str()},
        {"Long259", long259.c_str()},
        {names259.c_str(), "named"},
        {"V", "x=\"1\"|y<2"},
    };
    for (const auto& variable : variables) {
      if (SymbolSet(made.symbols, variable.name, variable.value) != 0) std::abort();
    }
    return &made;
  }();
  return context;
}
