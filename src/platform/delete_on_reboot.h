// Deleting a file or empty folder that is in use: Windows deletes it early in the next
// start. The NT family keeps a pending operation; the 9x family reads wininit.ini.
#pragma once

// Schedules `path` for deletion at the next restart, by the route of the running family.
// The running interpreter's own file is never scheduled. Every failure is silent.
void DeleteOnReboot(const char* path);

// The same by a given route (tests take the 9x route on the NT family this way).
void DeleteOnRebootByRoute(const char* path, bool ntFamily);
