// The C++ runtime's file streams (kivcheck.exe) ask for a file's status with _fstat64, which
// msvcrt.dll has only from Windows XP on. The 32-bit checker fills that import slot itself
// with _fstati64, which msvcrt.dll has had from 98 and NT 4 on: the same fields, with 32-bit
// times, widened here. So the program imports no _fstat64 (scripts/check-imports.sh keeps
// it that way).
#include <sys/stat.h>

#include <cstring>

#if !defined(__i386__)
#error "The import slot name below is the 32-bit one"
#endif

// msvcrt.dll's own export, by its own name (the headers map _fstati64 onto _fstat64).
extern "C" int __cdecl MsvcrtFstati64(int descriptor, struct _stat32i64* status) asm("__fstati64");

namespace {

int __cdecl FileStatus(int descriptor, struct _stat64* status) {
  struct _stat32i64 old;
  int result = MsvcrtFstati64(descriptor, &old);
  std::memset(status, 0, sizeof(*status));
  if (result != 0) return result;
  status->st_dev = old.st_dev;
  status->st_ino = old.st_ino;
  status->st_mode = old.st_mode;
  status->st_nlink = old.st_nlink;
  status->st_uid = old.st_uid;
  status->st_gid = old.st_gid;
  status->st_rdev = old.st_rdev;
  status->st_size = old.st_size;
  status->st_atime = old.st_atime;
  status->st_mtime = old.st_mtime;
  status->st_ctime = old.st_ctime;
  return 0;
}

}  // namespace

// The slot the runtime calls through; defined here, the linker takes no import for it.
extern "C" {
decltype(&FileStatus) kivrunFstat64Slot asm("__imp___fstat64") = FileStatus;
}
