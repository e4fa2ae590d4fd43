// Script variables: one global table of names and text values, and the %%NAME%% substitution.
#pragma once
#include <cstddef>

#include "engine/script.h"

struct SymbolRecord {
  RecordLinks links;
  char* name;   // heap copies of exactly their length plus terminator
  char* value;
};

SymbolTable* SymbolTableCreate();
// Replaces the value of an existing variable or appends a new one; 0 or 1 (no memory).
// When a replacement cannot be copied the old value is kept.
int SymbolSet(SymbolTable* table, const char* name, const char* value);
// Copies the value cut to size - 1 characters; 0, or 28 when no variable has the name.
int SymbolGet(const SymbolTable* table, const char* name, char* dest, size_t size);
void SymbolTableFree(SymbolTable* table);

constexpr size_t kSymbolNameChars = 260;   // a reference's name keeps at most 259 characters
constexpr size_t kSymbolValueChars = 260;  // at most 259 characters of a value are inserted

// Replaces each %%NAME%% of `text` by the variable's value, writing at most size - 1
// characters to `dest`. Gives 0, or 28 with the output cut where the undefined name stood.
// `cut`, when given, is set when the output (or an inserted value) lost characters.
int SubstituteVariables(const ScriptContext* context, const char* text, char* dest, size_t size,
                        bool* cut = nullptr);
