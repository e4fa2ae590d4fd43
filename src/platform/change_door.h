// The one door through which Kivrun changes the machine. Handlers never call the Win32
// functions that write files, folders, the registry or services, or that start and end
// programs: they call these, which behave as the Win32 call named beside each (its result
// and last error included).
//
// The door has a mode. Acting, each call is the Win32 call and nothing more. Journalling
// (a run with /Journal=), each call first appends how to undo its change to the journal,
// flushed, and only then acts; when the journal cannot be written the change is not made
// and the call fails with ERROR_WRITE_FAULT. Describing (a what-if run, /WhatIf), each call
// changes nothing: it writes the change into the plan and answers as the Win32 call would
// have answered, failing only where the machine shows that the call would fail (a missing
// source, a folder that is not empty). The queries below then read the machine as the plan
// would leave it (change_plan.cpp holds that side).
#pragma once
#include <windows.h>
#include <objidl.h>

#include <string>
#include <vector>

#include "platform/what_if_plan.h"

enum class DoorMode { kAct, kJournal, kDescribe };
// Describing starts an empty plan and forgets every planned state.
void SetDoorMode(DoorMode mode);
DoorMode CurrentDoorMode();

// Files and folders.
BOOL DoorCopyFile(const char* source, const char* target);  // CopyFileA(source, target, FALSE)
// A list that copies many files names the targets of its coming copies first. Journalling,
// their undo records are written together, with one flush, and each copy takes its own when
// it comes; acting and describing, nothing happens.
void DoorExpectCopies(const std::vector<std::string>& targets);
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
// IPersistFile::Save of a shortcut to `path` (wide: `widePath`), pointing at `target`.
HRESULT DoorSaveShortcut(IPersistFile* file, const wchar_t* widePath, const char* path, const char* target);
// A folder's access list set by `set` (SetFileSecurityA, bound at run time).
using SetFileSecurityFn = BOOL(WINAPI*)(LPCSTR, SECURITY_INFORMATION, PSECURITY_DESCRIPTOR);
BOOL DoorSetFolderSecurity(const char* path, SetFileSecurityFn set, PSECURITY_DESCRIPTOR descriptor);

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

// Queries through the door: acting or journalling they read the machine; describing they
// read it as the plan would leave it. A query line (one that stores what it finds) answered
// from a change the plan only made turns the plan's later entries into forecasts.
DWORD DoorFileAttributes(const char* path);  // GetFileAttributesA
// The file whose bytes `path` holds: the source of a planned copy, else `path` itself.
std::string DoorContentPath(const char* path);
bool DoorReadFileText(const char* path, std::string* text);  // ReadTextFile
// GetPrivateProfileStringA with "" for a missing key: the length of what was copied.
DWORD DoorReadIniValue(const char* section, const char* key, char* value, DWORD size, const char* file);
bool DoorRegKeyOpens(HKEY root, const char* keyPath, REGSAM access);  // RegOpenKeyExA succeeds
// RegQueryValueExA of the key opened for reading (its status, ERROR_MORE_DATA included).
LONG DoorQueryRegValue(HKEY root, const char* keyPath, const char* name, DWORD* type, BYTE* data, DWORD* size);
// RegQueryInfoKeyA's counts of subkeys and values; false when the key does not open.
bool DoorRegKeyCounts(HKEY root, const char* keyPath, DWORD* subkeys, DWORD* values);
BOOL DoorQueryService(SC_HANDLE service, const char* name, SERVICE_STATUS* status);  // QueryServiceStatus
// Whether the plan has ended the process (walks of the running processes pass over it).
bool DoorProcessEnded(DWORD processId);

// What a what-if run only describes: programs started, processes ended, the host asked to
// start or close an application, a CAB installed, a restart. Describing, the plan gets the
// entry and the call gives true: the caller then does nothing more. Otherwise it gives
// false and the caller acts.
bool DoorPlansInstead(PlanKind kind, const char* target, const char* text);
// A process about to be ended (closed or terminated): its id and its path or window name.
bool DoorPlansProcessEnd(DWORD processId, const char* name);
// MessageBoxA. Describing, nothing is shown: the plan notes what the box would say and
// takes the answer set by SetWhatIfAnswer (IDYES, IDNO), or else the box's default button.
int DoorAsk(const char* text, const char* caption, UINT type);
void SetWhatIfAnswer(int answer);
// Whether windows of Kivrun's own (the progress window) are shown: not in a what-if run.
bool DoorShowsWindows();
// A change the run passes over, and why (a FILECIO target that is newer than its source):
// in the plan, as a line that changes nothing.
void DoorNoteSkipped(const char* target, const char* why);

// What no journal can take back: a program started, a process or window ended, an
// installer run, a restart asked for. Recorded so that a rollback names it.
void DoorNoteIrreversible(const char* what);

// The PATH of Kivrun's own process (EXTENDPATH): it ends with the process, nothing to undo.
BOOL DoorSetProcessPath(const char* value);
