// The registry roots as the handlers use them: a key text's root prefix (engine/argument_forms)
// turned into its predefined key.
#pragma once
#include <windows.h>

#include "engine/argument_forms.h"

// The predefined key of the root prefix `keyText` starts with (its form has checked that it
// has one); the subkey path starts at keyText + kRootPrefixChars.
HKEY RootKeyOf(const char* keyText);
