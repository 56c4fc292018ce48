// The language manager: finds the language files in <data folder>/locals, keeps their
// list and the user's choice in local.ini, holds the one process-wide language
// document and answers text lookups against it with a built-in default as fallback.
//
// The document is replaced and released on the GUI thread only; lookups may come
// from any thread at any time and always see one whole document (the old or the new).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

class LanguageDocument;

// Text of key in section below tag in the current language document; the default
// when there is no document or it has no such element. Never fails.
std::string GetLocalString(std::string_view tag, std::string_view section, std::string_view key,
                           std::string_view def);
// Lookup with the tag "capdeck" (layout captions).
std::string GetLayoutString(std::string_view section, std::string_view key, std::string_view def);

// Rebuilds the section Languages of local.ini from the *.xml files in the locals
// folder. The document of the last file tried stays loaded.
void ScanLanguageFiles();
// Full path of the language file to load, or "" when no language is usable. Stores
// the first listed language as the choice when the stored one has no file.
std::string GetLanguageFileName();
// Replaces the current document by the file's; false (and an empty document that
// answers every lookup with its default) when the file can't be read or parsed.
bool LoadLanguageFile(const std::string& path);
// Releases the document, leaving none.
void FreeLanguageFile();
// "id" and "string" of the loaded file's root element; 0 and "" without one.
int GetLanguageId();
std::string GetLanguageName();

// Start-up order: scan, choose, tell the user when there is no language file (the
// callback shows the error box), load, publish the document's address.
void StartLanguageManager(const std::function<void()>& noLanguageFiles);
// Reload when the frame set is rebuilt: no new scan; loads only when a file is named.
void ReloadLanguageFile();
// Writes the current document's address to Capdeck.ini [XML] XMLPointer.
void PublishXMLPointer();

// Paths the manager uses, all below the data folder.
std::string LocalIniPath();
std::string LocalsFolder();

// The document lookups currently run against (null when there is none).
std::shared_ptr<const LanguageDocument> CurrentLanguageDocument();
// Why the last load failed ("" after a successful one).
std::string LastLanguageLoadError();
