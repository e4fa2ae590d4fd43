// The one door through which Kivrun changes the machine. Handlers never call the Win32
// functions that write files, folders, the registry or services, or that start and end
// programs: they call these, which behave as the Win32 call named beside each (its result
// and last error included).
//
// The door has a mode. Acting, each call is the Win32 call and nothing more. Journalling
// (a run with /Journal=), each call first appends how to undo its change to the journal,
// flushed, and only then acts; when the journal cannot be written the change is not made
// and the call fails with ERROR_WRITE_FAULT. A mode that only describes the change would
// answer here as well.
#pragma once
#include <windows.h>

#include <string>

enum class DoorMode { kAct, kJournal };
void SetDoorMode(DoorMode mode);
DoorMode CurrentDoorMode();

// Files and folders.
BOOL DoorCopyFile(const char* source, const char* target);  // CopyFileA(source, target, FALSE)
BOOL DoorDeleteFile(const char* path);                      // DeleteFileA
BOOL DoorSetFileAttributes(const char* path, DWORD attributes);
BOOL DoorCreateFolder(const char* path, SECURITY_ATTRIBUTES* security);  // CreateDirectoryA
BOOL DoorRemoveFolder(const char* path);                                 // RemoveDirectoryA
// Removes a whole folder tree at once by moving it into the journal: true when it went.
// Acting, and wherever the move is refused (another volume, a file in use), false: the
// caller then removes the tree entry by entry through the calls above.
bool DoorMoveTreeAside(const char* folder);
// DeleteOnReboot: the NT family's pending deletion or the 9x family's wininit.ini line.
void DoorScheduleDelete(const char* path);
// ReplaceFileText: the whole text of a file rewritten safely.
bool DoorReplaceFileText(const char* path, const std::string& text);
BOOL DoorWriteIniValue(const char* section, const char* key, const char* value, const char* file);
// A file that a call outside the door is about to write (a shortcut saved by the shell):
// false when it must not be written.
bool DoorBeforeFileWrite(const char* path);
// A folder whose access list is about to be set: false when it must not be.
bool DoorBeforeFolderSecurity(const char* path);

// The registry: a key by its root and its path under the root.
LONG DoorSetRegValue(HKEY root, const char* keyPath, const char* name, DWORD type, const BYTE* data, DWORD size);
LONG DoorDeleteRegValue(HKEY root, const char* keyPath, const char* name);
// RegCreateKeyA(parent, name) under root\parentPath (the parent opened for writing).
LONG DoorCreateRegKey(HKEY root, const char* parentPath, const char* name);
// RegDeleteKeyA: on the NT family only a key without subkeys goes.
LONG DoorDeleteRegKey(HKEY root, const char* keyPath);
// The key with everything under it; what cannot go is left.
void DoorDeleteRegKeyTree(HKEY root, const char* keyPath);

// Services (the NT family).
BOOL DoorStopService(SC_HANDLE service, const char* name, SERVICE_STATUS* status);  // ControlService(STOP)
BOOL DoorStartService(SC_HANDLE service, const char* name);                         // StartServiceA

// What no journal can take back: a program started, a process or window ended, an
// installer run, a restart asked for. Recorded so that a rollback names it.
void DoorNoteIrreversible(const char* what);

// The PATH of Kivrun's own process (EXTENDPATH): it ends with the process, nothing to undo.
BOOL DoorSetProcessPath(const char* value);
