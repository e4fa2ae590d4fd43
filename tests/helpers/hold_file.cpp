// hold_file <mode> <path> <ready event> <release event>
// hold_file sleep <milliseconds>: just stays that long (a process without windows).
// Opens <path> and keeps it until <release event> is set (or 60 s pass), signalling
// <ready event> once it holds it. Modes:
//   write  - open for writing, shared for reading only (as a log writer holds its log)
//   lock   - open for reading and lock every byte
#include <windows.h>

#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "sleep") == 0) {
    Sleep(static_cast<DWORD>(std::atol(argv[2])));
    return 0;
  }
  if (argc < 5) return 2;
  const bool lock = std::strcmp(argv[1], "lock") == 0;
  HANDLE file = CreateFileA(argv[2], lock ? GENERIC_READ : GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 3;
  if (lock && !LockFile(file, 0, 0, 0xFFFFFFFF, 0)) {
    CloseHandle(file);
    return 4;
  }
  HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[3]);
  HANDLE release = OpenEventA(SYNCHRONIZE, FALSE, argv[4]);
  if (ready != nullptr) SetEvent(ready);
  if (release != nullptr) WaitForSingleObject(release, 60000);
  if (ready != nullptr) CloseHandle(ready);
  if (release != nullptr) CloseHandle(release);
  if (lock) UnlockFile(file, 0, 0, 0xFFFFFFFF, 0);
  CloseHandle(file);
  return 0;
}
