// Single files, folders and file tests: COPYONEFILE, DELETEONEFILE, CREATEDIR, REMOVEDIR,
// REMOVEDIRRECURSIVE, FILEEXISTS, ISCURRENTFILEOLDER, ISFILELOCKED, WAITTILLUNLOCKED,
// CANALLFILESBECOPIED and REMOVESCANEXEFROMAUTOEXEC.
#pragma once
#include "engine/executor.h"

int CopyOneFileCommand(ScriptContext* context, const ScriptLine* line);
int DeleteOneFileCommand(ScriptContext* context, const ScriptLine* line);
int CreateDirCommand(ScriptContext* context, const ScriptLine* line);
int RemoveDirCommand(ScriptContext* context, const ScriptLine* line);
int RemoveDirRecursiveCommand(ScriptContext* context, const ScriptLine* line);
int FileExistsCommand(ScriptContext* context, const ScriptLine* line);
int IsCurrentFileOlderCommand(ScriptContext* context, const ScriptLine* line);
int IsFileLockedCommand(ScriptContext* context, const ScriptLine* line);
int WaitTillUnlockedCommand(ScriptContext* context, const ScriptLine* line);
int CanAllFilesBeCopiedCommand(ScriptContext* context, const ScriptLine* line);
int RemoveScanExeFromAutoexecCommand(ScriptContext* context, const ScriptLine* line);  // autoexec_command.cpp

// Deletes a folder tree depth first; what cannot be deleted now goes at the next restart,
// files before their folder.
void DeleteTree(const char* folder);

// The reference times ISCURRENTFILEOLDER compares installed files with. Nothing in the
// program fills the list; AddReferenceFile is how a record would enter it.
struct ReferenceFile {
  char name[260];
  unsigned char hour, minute, second, year, month, day;  // year: since 1900, low 8 bits
};
bool AddReferenceFile(const ReferenceFile& record);
void ClearReferenceFiles();

extern const HandlerRow FileCommandRows[];
