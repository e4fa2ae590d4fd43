// The one rule for text that a command acts on: a path it writes, copies, moves or
// deletes, a key or value it changes, a program it starts, a value it stores. Such text is
// used whole or not at all: when a referenced variable is undefined the line fails with 28,
// when the substituted text does not fit where it goes it fails with 24, and in both cases
// the command changes nothing. Texts that are only shown (messages, progress, log lines)
// and conditions keep their own, more forgiving, substitution.
#pragma once
#include <cstddef>

#include "engine/script.h"

// Substitutes `text` into `dest` (at most size - 1 characters): 0, 28 or 24, reporting
// nothing (for handlers that report the result themselves); `dest` is empty on 28 or 24.
int SubstituteWhole(const ScriptContext* context, const char* text, char* dest, size_t size);

// Substitutes `text` into `dest` (at most size - 1 characters). Gives 0, or fails the line
// by the handler convention (stop flag, error report) and gives 28 or 24.
int SubstituteActingText(ScriptContext* context, const ScriptLine* line, const char* text, char* dest,
                         size_t size);

// Checks that `text` (already substituted, or literal) fits `size` with its terminator;
// gives 0, or fails the line with 24 by the handler convention.
int RequireFits(ScriptContext* context, const ScriptLine* line, const char* text, size_t size);
