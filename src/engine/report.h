// Status lines from the message table.
#pragma once

constexpr unsigned kStringLoadingScript = 61;  // "Loading and parsing script file : %s"
constexpr unsigned kStringClosingApplication = 75;
constexpr unsigned kStringStartingApplication = 76;
constexpr unsigned kStringStoppingService = 77;
constexpr unsigned kStringStartingService = 78;

// Loads message `id`, formats it with `argument` when one is given, and logs it as status.
void StatusMessage(unsigned id, const char* argument);
