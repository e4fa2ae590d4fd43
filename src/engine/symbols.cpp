#include "engine/symbols.h"

#include <cstring>

#include "engine/result_codes.h"
#include "base/text.h"
#include "platform/heap.h"

namespace {

char* CopyToHeap(const char* text) {
  size_t length = std::strlen(text);
  char* copy = static_cast<char*>(HeapBlockAlloc(length + 1));
  if (copy != nullptr) std::memcpy(copy, text, length + 1);
  return copy;
}

// Names are unique in the table, so the index's first record of a name is the variable.
SymbolRecord* FindSymbol(const SymbolTable* table, const char* name) {
  RecordLinks* links = RecordListFindNamed(table, name);
  return links != nullptr ? RecordFromLinks<SymbolRecord>(links) : nullptr;
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
      !RecordListAppendNamed(table, &symbol->links, symbol->name)) {
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

int SubstituteVariables(const ScriptContext* context, const char* text, char* dest, size_t size,
                        bool* cut) {
  bool lost = false;
  if (cut != nullptr) *cut = false;
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

    const SymbolRecord* symbol = FindSymbol(context->symbols, name);
    if (symbol == nullptr) {
      dest[o] = '\0';
      return kResultSymbolNotFound;
    }
    // At most 259 characters of a value are inserted.
    const size_t valueLength = std::strlen(symbol->value);
    const size_t inserted = valueLength < kSymbolValueChars - 1 ? valueLength : kSymbolValueChars - 1;
    if (inserted < valueLength) lost = true;
    dest[o] = '\0';
    if (!CopyText(dest + o, size - o, symbol->value, inserted)) lost = true;
    o += std::strlen(dest + o);
    p += 2;
  }
  if (*p != '\0') lost = true;
  dest[o] = '\0';
  if (cut != nullptr) *cut = lost;
  return kResultOk;
}
