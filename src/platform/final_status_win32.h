// Win32 side of the final status: the text as the BSTR the host receives.
#pragma once
#include <windows.h>
#include <oleauto.h>

#include "platform/final_status.h"

// The current text (owned by the final status; copy it to keep it). May be nullptr.
BSTR FinalStatusBstr();
