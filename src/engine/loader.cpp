// The script loader: file to buffer, buffer to sections and lines, one pass.
#include "engine/loader.h"

#include <cstring>

#include "engine/keywords.h"
#include "engine/report.h"
#include "engine/result_codes.h"
#include "engine/symbols.h"
#include "base/text.h"
#include "log/log.h"
#include "platform/heap.h"
#include "platform/script_file.h"

namespace {

constexpr size_t kUtf8MarkBytes = 3;
constexpr uint32_t kUtf16ProbeBytes = 8;  // the first four UTF-16 characters
const char kUtf16Refused[] = "Script is UTF-16 text: save it as ANSI";

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

// Scripts are ANSI text. Editors may put a UTF-8 byte-order mark before it, which the parse
// skips; UTF-16 text ("Unicode" in Notepad) would read as a string that ends at its second
// byte. It has a byte-order mark (FF FE or FE FF), or, without one, a NUL as every second
// byte of its first characters.
bool IsUtf16Text(const unsigned char* text, uint32_t size) {
  if (size >= 2 && ((text[0] == 0xFF && text[1] == 0xFE) || (text[0] == 0xFE && text[1] == 0xFF))) return true;
  const uint32_t probe = (size < kUtf16ProbeBytes ? size : kUtf16ProbeBytes) & ~1u;
  if (probe == 0) return false;
  bool highBytesNul = true;  // little-endian: the second byte of each pair
  bool lowBytesNul = true;   // big-endian: the first
  for (uint32_t i = 0; i < probe; i += 2) {
    if (text[i + 1] != 0) highBytesNul = false;
    if (text[i] != 0) lowBytesNul = false;
  }
  return highBytesNul != lowBytesNul;  // all NUL is a zeroed file, not text
}

bool HasUtf8Mark(const char* text) {
  return static_cast<unsigned char>(text[0]) == 0xEF && static_cast<unsigned char>(text[1]) == 0xBB &&
         static_cast<unsigned char>(text[2]) == 0xBF;
}

// A record that cannot be allocated ends the load through the error report, so the log names
// the line and the host hears of the failure. The line's text is taken as it stands in the
// file from `start`, up to its end or kArgumentReadChars bytes.
int ReportLoadFailure(const ScriptContext* context, const char* text, size_t start, int code) {
  const char* line = text + start;
  size_t length = 0;
  while (length < kArgumentReadChars && line[length] != '\0' && line[length] != '\r' && line[length] != '\n') {
    ++length;
  }
  char lineText[kArgumentReadChars + 1];
  CopyText(lineText, sizeof(lineText), line, length);
  ReportError(code, context->lineCounter, lineText);
  return code;
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

int ScriptParseFile(const char* path, ScriptContext** contextOut) {
  *contextOut = nullptr;
  char* buffer = nullptr;
  int result = LoadScript(path, &buffer);
  if (result != kResultOk) return result;
  ScriptContext* context = CreateContext();
  if (context == nullptr) {
    HeapBlockFree(buffer);
    return kResultNoMemory;
  }
  result = ParseScript(context, buffer);
  HeapBlockFree(buffer);
  *contextOut = context;
  return result;
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
  if (IsUtf16Text(reinterpret_cast<const unsigned char*>(buffer), size)) {
    HeapBlockFree(buffer);
    ReportError(kResultReadFailed, 1, kUtf16Refused);
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
  size_t p = HasUtf8Mark(text) ? kUtf8MarkBytes : 0;
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
  const size_t header = *position - 1;  // the "["
  auto* section = static_cast<ScriptSection*>(HeapBlockAlloc(sizeof(ScriptSection)));
  if (section == nullptr) return ReportLoadFailure(context, text, header, kResultNoMemory);

  size_t p = *position;
  size_t length = 0;
  while (text[p] != '\0' && text[p] != ']' && length < kSectionNameChars) {
    section->name[length++] = text[p++];
  }
  section->name[length] = '\0';
  section->lineNumber = context->lineCounter;
  *position = p;

  section->lines = RecordListCreate();
  if (section->lines == nullptr || !RecordListAppendNamed(context->sections, &section->links, section->name)) {
    FreeSection(section);
    return ReportLoadFailure(context, text, header, kResultNoMemory);
  }
  context->currentSection = section;
  return kResultOk;
}

int ParseCommandLine(ScriptContext* context, const char* text, size_t* position) {
  if (context->currentSection == nullptr) {
    LogError("Command outside of any section at line %u", context->lineCounter);
    return kResultNoMemory;
  }
  const size_t start = *position;
  auto* line = static_cast<ScriptLine*>(HeapBlockAlloc(sizeof(ScriptLine)));
  if (line == nullptr) return ReportLoadFailure(context, text, start, kResultNoMemory);
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
    return ReportLoadFailure(context, text, start, kResultNoMemory);
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

// The index keeps the first section of each name, as a walk in file order would find it.
ScriptSection* FindSection(const RecordList* sections, const char* name) {
  RecordLinks* links = RecordListFindNamed(sections, name);
  return links != nullptr ? RecordFromLinks<ScriptSection>(links) : nullptr;
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
