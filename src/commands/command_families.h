// The command families of the Windows program, each a table of handler rows.
#pragma once

// Adds every family's rows to the handler table; called once by start-up.
void AddCommandFamilies();
