#include "engine/symbols.h"

#include <cstring>

#include "engine/result_codes.h"
#include "engine/text.h"
#include "platform/heap.h"

namespace {

char* CopyToHeap(const char* text) {
  size_t length = std::strlen(text);
  char* copy = static_cast<char*>(HeapBlockAlloc(length + 1));
  if (copy != nullptr) std::memcpy(copy, text, length + 1);
  return copy;
}

SymbolRecord* FindSymbol(const SymbolTable* table, const char* name) {
  if (table == nullptr) return nullptr;
  for (RecordLinks* links = table->first; links != nullptr; links = links->next) {
    SymbolRecord* symbol = RecordFromLinks<SymbolRecord>(links);
    if (std::strcmp(symbol->name, name) == 0) return symbol;
  }
  return nullptr;
}

void FreeSymbol(SymbolRecord* symbol) {
  HeapBlockFree(symbol->name);
  HeapBlockFree(symbol->value);
  HeapBlockFree(symbol);
}

}  // namespace

SymbolTable* SymbolTableCreate() { return RecordListCreate(); }

int SymbolSet(SymbolTable* table, const char* name, const char* value) {
  if (table == nullptr) return kResultNoMemory;
  SymbolRecord* existing = FindSymbol(table, name);
  if (existing != nullptr) {
    char* copy = CopyToHeap(value);
    if (copy == nullptr) return kResultNoMemory;  // the old value stays
    HeapBlockFree(existing->value);
    existing->value = copy;
    return kResultOk;
  }

  auto* symbol = static_cast<SymbolRecord*>(HeapBlockAlloc(sizeof(SymbolRecord)));
  if (symbol == nullptr) return kResultNoMemory;
  symbol->name = CopyToHeap(name);
  symbol->value = CopyToHeap(value);
  if (symbol->name == nullptr || symbol->value == nullptr ||
      !RecordListAppend(table, &symbol->links)) {
    FreeSymbol(symbol);
    return kResultNoMemory;
  }
  return kResultOk;
}

int SymbolGet(const SymbolTable* table, const char* name, char* dest, size_t size) {
  const SymbolRecord* symbol = FindSymbol(table, name);
  if (symbol == nullptr) return kResultSymbolNotFound;
  CopyText(dest, size, symbol->value);
  return kResultOk;
}

void SymbolTableFree(SymbolTable* table) {
  if (table == nullptr) return;
  while (RecordLinks* links = RecordListRemoveFirst(table)) FreeSymbol(RecordFromLinks<SymbolRecord>(links));
  RecordListFree(table);
}

int SubstituteVariables(const ScriptContext* context, const char* text, char* dest, size_t size) {
  if (size == 0) return kResultOk;
  const size_t limit = size - 1;
  size_t o = 0;
  const char* p = text;
  while (*p != '\0' && o < limit) {
    if (p[0] != '%' || p[1] != '%') {
      dest[o++] = *p++;
      continue;
    }
    p += 2;
    // The name runs to the next "%%"; beyond 259 characters it is cut, not ended.
    char name[kSymbolNameChars];
    size_t n = 0;
    while (*p != '\0' && !(p[0] == '%' && p[1] == '%')) {
      if (n < sizeof(name) - 1) name[n++] = *p;
      ++p;
    }
    name[n] = '\0';
    if (*p == '\0') break;  // an unclosed reference is dropped

    char value[kSymbolValueChars];
    if (SymbolGet(context->symbols, name, value, sizeof(value)) != kResultOk) {
      dest[o] = '\0';
      return kResultSymbolNotFound;
    }
    dest[o] = '\0';
    CopyText(dest + o, size - o, value);
    o += std::strlen(dest + o);
    p += 2;
  }
  dest[o] = '\0';
  return kResultOk;
}
