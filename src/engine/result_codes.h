// Result codes of engine steps and command handlers; 0 is success. Their messages are
// the rows of resources/messages.def.
#pragma once

enum ResultCode : int {
  kResultOk = 0,
  kResultNoMemory = 1,
  kResultUnrecognizedCommand = 2,
  kResultSectionNotFound = 4,
  kResultStartSectionNotFound = 7,
  kResultEmptyFile = 8,
  kResultCannotOpenFile = 9,
  kResultCannotDeleteFile = 10,
  kResultReadFailed = 11,
  kResultCannotWriteFile = 12,
  kResultFileNotFound = 13,
  kResultCannotOpenRegistryKey = 14,
  kResultCannotReadRegistry = 15,
  kResultCannotWriteRegistry = 16,
  kResultInvalidRegistryValue = 17,
  kResultIniNotFound = 18,
  kResultCannotWriteIni = 19,
  kResultNoRegistryRoot = 20,
  kResultNoValueName = 21,
  kResultNoSubkey = 22,
  kResultNowhereToPutValue = 23,
  kResultNowhereToGetValue = 24,
  kResultNoValueToSet = 25,
  kResultNoIniSection = 26,
  kResultNoIniFile = 27,
  kResultSymbolNotFound = 28,
  kResultTargetInUse = 33,
  kResultInvalidReturn = 37,
  kResultNoFileVersion = 40,
  kResultReturnIfFalse = 41,  // consumed by the section runner, never reported
  kResultNoWindowsDir = 47,
  kResultBadSwitch = 51,
  kResultConditionalStop = 53,  // a false CONTINUEIF: the script ends as a success
  kResultCabNotInstalled = 54,
};

struct ResultCodeRow {
  int code;
  unsigned stringId;
};

// Walked in order; the last row has code 0.
extern const ResultCodeRow ResultCodeTable[];

// The string id of a code's message, or 0 when the code has no row.
unsigned ResultCodeStringId(int code);
