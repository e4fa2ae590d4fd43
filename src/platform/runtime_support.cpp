// The parts of the C++ runtime Kivrun.exe uses, made here without exceptions. The
// runtime's own versions report a fault (no memory, a length or range fault in a container)
// by throwing, and bring the whole exception machinery with them: its classes, its unwinder,
// its copy-on-write strings (some 125 KiB of the 32-bit program). The program is built
// without exceptions, so such a throw could only end in abort(); here they end there at once.
#include <bits/functexcept.h>

#include <cstdlib>
#include <new>
#include <string>

namespace std {

void __throw_bad_alloc() { std::abort(); }
void __throw_bad_array_new_length() { std::abort(); }
void __throw_length_error(const char*) { std::abort(); }
void __throw_logic_error(const char*) { std::abort(); }
void __throw_out_of_range(const char*) { std::abort(); }
void __throw_out_of_range_fmt(const char*, ...) { std::abort(); }
void __throw_invalid_argument(const char*) { std::abort(); }

// The string's out-of-line members, which the runtime otherwise supplies compiled with
// exceptions.
template class basic_string<char>;

}  // namespace std

void* operator new(std::size_t bytes) {
  void* block = std::malloc(bytes != 0 ? bytes : 1);
  if (block == nullptr) std::abort();
  return block;
}
void* operator new[](std::size_t bytes) { return operator new(bytes); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
