// Modules: LoadLibrary with the ".dll" to ".so" rule, GetProcAddress, the program file,
// and the version block every module of the build carries.
#pragma once

#include "platform/types.h"

#include <string>

// A name ending in ".dll" (any case) is looked up as the same name with ".so", first
// in the program folder, then by the normal library search. Null and the last error
// ERROR_MOD_NOT_FOUND when it can't be loaded.
HMODULE LoadLibraryA(const char* name);
FARPROC GetProcAddress(HMODULE module, const char* name);
BOOL FreeLibrary(HMODULE module);
// Path of the module's file (null module: the program file). Returns the length copied.
DWORD GetModuleFileNameA(HMODULE module, char* buf, DWORD size);
// The handle of the loaded module that contains the given address (for a plug-in to
// find its own file).
HMODULE GetModuleHandleFromAddress(const void* address);

// Version block reading, GetFileVersionInfo style. The block is read from the file by
// path; a file without one gives size 0 and ERROR_RESOURCE_DATA_NOT_FOUND.
DWORD GetFileVersionInfoSizeA(const char* file, DWORD* handle);
BOOL GetFileVersionInfoA(const char* file, DWORD handle, DWORD size, void* data);
// Queries: "\\VarFileInfo\\Translation" gives an array of WORD pairs (language,
// code page); "\\StringFileInfo\\040904E4\\FileVersion" (any string name) gives a
// zero-terminated string. Returns FALSE when the value is missing.
BOOL VerQueryValueA(const void* block, const char* subBlock, void** value, UINT* length);

namespace platform {

std::string ProgramFile();
// Folder of the program file, with a trailing "/".
std::string ProgramFolder();
// Overrides the program folder (tests running from another folder).
void SetProgramFolderForTests(const std::string& folder);
// "FileVersion" (or another string) of the first translation of the file's block, or "".
std::string FileVersionString(const std::string& file, const std::string& name = "FileVersion");

} // namespace platform
