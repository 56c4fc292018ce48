// Profile (ini) files with the Windows semantics: case-insensitive section and key
// names, the first match wins, surrounding blanks and one pair of quotes are stripped,
// results are truncated to the caller's buffer. Writes replace the file atomically
// under an advisory lock, so every thread and process sees them at once and no
// writer loses another's key.
#pragma once

#include "platform/types.h"

#include <string>
#include <vector>

// Copies the value (or default) into buf, truncated to size-1 characters; returns the
// number of characters copied. A null section lists the section names, a null key the
// keys of the section, each zero-terminated, the list ended by a second zero.
DWORD GetPrivateProfileStringA(const char* section, const char* key, const char* def, char* buf,
                               DWORD size, const char* file);
// The value read as a decimal integer (leading digits, optional sign); the default when
// the key is missing or does not start with a number.
UINT GetPrivateProfileIntA(const char* section, const char* key, int def, const char* file);
// Writes the key, creating file and section as needed. A null value deletes the key,
// a null key deletes the whole section. Returns FALSE when the file can't be written.
BOOL WritePrivateProfileStringA(const char* section, const char* key, const char* value,
                                const char* file);

namespace platform {

// Convenience forms used by C++ callers; same semantics, no length limit.
std::string ProfileString(const std::string& file, const std::string& section,
                          const std::string& key, const std::string& def);
int ProfileInt(const std::string& file, const std::string& section, const std::string& key,
               int def);
bool WriteProfileString(const std::string& file, const std::string& section, const std::string& key,
                        const std::string& value);
bool DeleteProfileKey(const std::string& file, const std::string& section, const std::string& key);
bool EraseProfileSection(const std::string& file, const std::string& section);
std::vector<std::string> ProfileSectionNames(const std::string& file);
// Keys of the section in file order (first occurrence of each name).
std::vector<std::string> ProfileSectionKeys(const std::string& file, const std::string& section);
// Writes several keys of one section in a single atomic replacement of the file.
bool WriteProfileSection(const std::string& file, const std::string& section,
                         const std::vector<std::pair<std::string, std::string>>& keys,
                         bool eraseFirst);

} // namespace platform
