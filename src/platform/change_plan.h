// What the door does in a what-if run (DoorMode::kDescribe): each change is written into the
// plan and into the planned state instead of being made, and the call answers as the Win32
// call would have: true where the change would go through, the Win32 error where the machine
// (as the plan leaves it) shows that it would be refused. Called by change_door.cpp only.
#pragma once
#include <windows.h>

#include <string>

void StartDescribing();
// The note of a line whose effect the plan cannot see (a program started): what follows
// that line is a forecast.
void PlanNoteOpaque(const char* what);

BOOL PlanCopyFile(const char* source, const char* target);
BOOL PlanDeleteFile(const char* path);
BOOL PlanSetFileAttributes(const char* path, DWORD attributes);
BOOL PlanCreateFolder(const char* path);
BOOL PlanRemoveFolder(const char* path);
void PlanScheduleDelete(const char* path);
bool PlanReplaceFileText(const char* path, const std::string& text);
BOOL PlanWriteIniValue(const char* section, const char* key, const char* value, const char* file);
HRESULT PlanShortcut(const char* path, const char* target);
BOOL PlanFolderSecurity(const char* path);

LONG PlanSetRegValue(HKEY root, const char* keyPath, const char* name, DWORD type, const BYTE* data, DWORD size);
LONG PlanDeleteRegValue(HKEY root, const char* keyPath, const char* name);
LONG PlanCreateRegKey(HKEY root, const char* parentPath, const char* name);
LONG PlanDeleteRegKey(HKEY root, const char* keyPath);
void PlanDeleteRegKeyTree(HKEY root, const char* keyPath);

BOOL PlanStopService(const char* name, SERVICE_STATUS* status);
BOOL PlanStartService(const char* name);
