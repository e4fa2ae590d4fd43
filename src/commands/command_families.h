// The command families of the Windows program, each a table of handler rows.
#pragma once

// Adds every family's rows to the handler table and gives the executor the rule of the
// protected folders; called once by start-up.
void AddCommandFamilies();
