// The registry script language of COM servers: root keys with nested blocks of keys and
// values, run in register or unregister mode against the real registry.
//
//   HKCR
//   {
//       NoRemove AppID
//       {
//           {GUID} = s 'Kivrun'
//           'Kivrun.EXE' { val AppID = s {GUID} }
//       }
//   }
//
// Keywords (any case): root names short and long, NoRemove, ForceRemove, Delete, Val and
// the value types S (REG_SZ), D (REG_DWORD) and B (REG_BINARY, hexadecimal digits).
// Quoted names and values use single quotes, '' standing for one quote.
#pragma once
#include <windows.h>

struct RegistrarReplacement {
  const char* name;   // without the percent signs
  const char* value;
};

// Replaces %name% references (a doubled % is one %) and runs the script. On registration a
// root block that fails part-way is undone by running it once more in unregister mode.
HRESULT RunRegistryScript(const char* script, bool registering, const RegistrarReplacement* map,
                          int mapCount);

// Runs the REGISTRY resource `id` of the module at `modulePath` with %Module% set to that path
// (its short form when there is one, single quotes doubled).
HRESULT RunRegistryResource(const char* modulePath, int id, bool registering);
