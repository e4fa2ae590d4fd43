// The script loader: file to buffer, buffer to sections and lines, one pass.
#include "engine/loader.h"

#include <cstring>

#include "engine/keywords.h"
#include "engine/report.h"
#include "engine/result_codes.h"
#include "engine/symbols.h"
#include "engine/text.h"
#include "log/log.h"
#include "platform/heap.h"
#include "platform/script_file.h"

namespace {

void FreeSection(ScriptSection* section) {
  if (section->lines != nullptr) {
    while (RecordLinks* links = RecordListRemoveFirst(section->lines)) HeapBlockFree(links);
    RecordListFree(section->lines);
  }
  HeapBlockFree(section);
}

ScriptContext* CreateContext() {
  auto* context = static_cast<ScriptContext*>(HeapBlockAlloc(sizeof(ScriptContext)));
  if (context == nullptr) return nullptr;
  context->sections = RecordListCreate();
  context->symbols = SymbolTableCreate();
  if (context->sections == nullptr || context->symbols == nullptr) {
    ScriptClose(context);
    return nullptr;
  }
  return context;
}

}  // namespace

int ScriptOpen(const char* path, const char* startSection, const char* scriptDir,
               ScriptContext** contextOut) {
  LogStatus("Executing ScriptOpen()");
  *contextOut = nullptr;

  ScriptContext* context = CreateContext();
  if (context == nullptr) return kResultNoMemory;
  CopyText(context->scriptDir, sizeof(context->scriptDir), scriptDir != nullptr ? scriptDir : "");

  StatusMessage(kStringLoadingScript, path);
  char* buffer = nullptr;
  int result = LoadScript(path, &buffer);
  if (result != kResultOk) {
    LogError("Error Loading Script File: %s", path);
    ScriptClose(context);
    return result;
  }
  result = ParseScript(context, buffer);
  HeapBlockFree(buffer);  // the parsed lines hold copies
  if (result != kResultOk) {
    ScriptClose(context);
    return result;
  }

  if (startSection == nullptr) {
    ScriptClose(context);
    return kResultOk;
  }
  if (FindSection(context->sections, startSection) == nullptr) {
    ScriptClose(context);
    return kResultStartSectionNotFound;
  }
  *contextOut = context;
  return kResultOk;
}

int LoadScript(const char* path, char** bufferOut) {
  LogStatus("Executing LoadScript()");
  *bufferOut = nullptr;

  ScriptFile file;
  if (!file.Open(path)) return kResultCannotOpenFile;
  uint32_t size = file.SizeLow32();
  if (size == 0) return kResultEmptyFile;
  if (size == UINT32_MAX) return kResultNoMemory;  // size + 1 would wrap

  auto* buffer = static_cast<char*>(HeapBlockAlloc(static_cast<size_t>(size) + 1));
  if (buffer == nullptr) return kResultNoMemory;
  if (file.Read(buffer, size) < size) {
    HeapBlockFree(buffer);
    return kResultReadFailed;
  }
  *bufferOut = buffer;  // zero-filled, so the byte after the text ends it
  return kResultOk;
}

int ParseScript(ScriptContext* context, const char* text) {
  LogStatus("Executing ParseScript()");
  context->lineCounter = 1;
  bool inComment = false;
  int result = kResultOk;
  size_t p = 0;
  while (text[p] != '\0' && result == kResultOk) {
    switch (text[p]) {
      case ' ':
      case '\t':
      case '\r':
        break;
      case '\n':
        context->lineCounter += 1;
        inComment = false;
        break;
      case ';':
        inComment = true;
        break;
      case '[':
        if (!inComment) {
          ++p;
          result = ParseSectionHeader(context, text, &p);
        }
        break;
      default:
        if (!inComment) result = ParseCommandLine(context, text, &p);
        break;
    }
    // The byte a header or line stopped on (its "]" or carriage return) is skipped;
    // one that stopped at the end of the text ends the scan.
    if (text[p] == '\0') break;
    ++p;
  }
  return result;
}

int ParseSectionHeader(ScriptContext* context, const char* text, size_t* position) {
  auto* section = static_cast<ScriptSection*>(HeapBlockAlloc(sizeof(ScriptSection)));
  if (section == nullptr) return kResultNoMemory;

  size_t p = *position;
  size_t length = 0;
  while (text[p] != '\0' && text[p] != ']' && length < kSectionNameChars) {
    section->name[length++] = text[p++];
  }
  section->name[length] = '\0';
  *position = p;

  section->lines = RecordListCreate();
  if (section->lines == nullptr || !RecordListAppend(context->sections, &section->links)) {
    FreeSection(section);
    return kResultNoMemory;
  }
  context->currentSection = section;
  return kResultOk;
}

int ParseCommandLine(ScriptContext* context, const char* text, size_t* position) {
  if (context->currentSection == nullptr) {
    LogError("Command outside of any section at line %u", context->lineCounter);
    return kResultNoMemory;
  }
  auto* line = static_cast<ScriptLine*>(HeapBlockAlloc(sizeof(ScriptLine)));
  if (line == nullptr) return kResultNoMemory;
  line->lineNumber = context->lineCounter;

  // A run longer than the word buffer is skipped whole; no keyword is that long.
  char word[kWordChars];
  size_t p = *position;
  size_t length = 0;
  for (; IsAsciiAlnum(text[p]); ++p) {
    if (length < sizeof(word) - 1) word[length++] = text[p];
  }
  word[length] = '\0';
  *position = p;

  CopyText(line->commandWord, sizeof(line->commandWord), word);
  for (size_t i = 0; i < length; ++i) word[i] = AsciiUpper(word[i]);
  line->opcode = LookupKeyword(word);

  ReadArgumentText(text, position, line);
  if (!RecordListAppend(context->currentSection->lines, &line->links)) {
    HeapBlockFree(line);
    return kResultNoMemory;
  }
  return kResultOk;
}

void ReadArgumentText(const char* text, size_t* position, ScriptLine* line) {
  const char* start = text + *position;
  size_t length = 0;
  while (length < kArgumentReadChars && start[length] != '\0' && start[length] != '\r') ++length;
  std::memcpy(line->argumentText, start, length);
  line->argumentText[length] = '\0';
  *position += length;
  TrimText(line->argumentText);
}

ScriptSection* FindSection(const RecordList* sections, const char* name) {
  if (sections == nullptr || name == nullptr) return nullptr;
  for (RecordLinks* links = sections->first; links != nullptr; links = links->next) {
    ScriptSection* section = RecordFromLinks<ScriptSection>(links);
    if (std::strcmp(section->name, name) == 0) return section;
  }
  return nullptr;
}

void ScriptClose(ScriptContext* context) {
  if (context == nullptr) return;
  SymbolTableFree(context->symbols);
  if (context->sections != nullptr) {
    while (RecordLinks* links = RecordListRemoveFirst(context->sections)) {
      FreeSection(RecordFromLinks<ScriptSection>(links));
    }
    RecordListFree(context->sections);
  }
  HeapBlockFree(context);
}
