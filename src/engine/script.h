// The records of a loaded script: the context, its sections and their command lines.
// All are zero-filled heap blocks; the context owns its lists and the lists their records.
#pragma once
#include <cstddef>
#include <cstdint>

#include "engine/records.h"

constexpr size_t kPathChars = 260;            // paths, names and operands: at most 259 used
constexpr size_t kSectionNameChars = 200;     // a section name keeps at most 200 bytes
constexpr size_t kWordChars = 260;            // the word buffer of the scanner: 259 used
constexpr size_t kCommandWordChars = 64;      // the command word as typed keeps at most 64
constexpr size_t kArgumentReadChars = 260;    // at most 260 bytes of argument text are read
constexpr size_t kArgumentCopyChars = 512;    // handlers' working copies of argument text
constexpr size_t kErrorTextChars = 520;

using SymbolTable = RecordList;  // of SymbolRecord, in the order of creation

struct ScriptLine {
  RecordLinks links;
  int32_t opcode;        // from the keyword table; 0 for a word that is no keyword
  uint32_t lineNumber;   // 1-based line of the file
  char commandWord[kCommandWordChars + 1];
  char argumentText[kArgumentReadChars + 1];  // trimmed by the loader; read-only once loaded
};

struct ScriptSection {
  RecordLinks links;
  char name[kSectionNameChars + 1];
  uint32_t lineNumber;  // 1-based line of its header
  RecordList* lines;  // of ScriptLine
  int32_t stopFlag;   // set by a handler that wants the section to end after this line
};

struct ScriptContext {
  RecordList* sections;  // of ScriptSection, in file order
  SymbolTable* symbols;
  ScriptSection* currentSection;
  char workDir[kPathChars];
  char scriptDir[kPathChars];
  uint32_t lineCounter;  // parsing: the line the loader is at
  uint32_t stopLine;     // running: the line of the last report, or of a conditional stop
  int32_t errorCode;
  char errorText[kErrorTextChars];
  uint32_t sectionDepth;  // sections run as nested calls right now
};
