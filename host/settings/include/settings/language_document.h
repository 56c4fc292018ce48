// One parsed language file: an XML document whose root element "language" carries
// the id and display name, with texts below it as tag / section / key elements whose
// "value" attribute holds the text. Immutable once parsed, so any number of threads
// may look texts up in it at once.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

struct _xmlDoc;

class LanguageDocument {
public:
    // Language files are a few kilobytes; anything beyond this is refused unread.
    static constexpr std::size_t kMaxFileSize = 4u << 20;

    // Parses a file image. The encoding the file declares is honoured and texts come
    // out as UTF-8. No network, no external or declared entities (a document type
    // declaration is refused), no size or depth beyond the parser's normal limits.
    // Null with a reason in error when the bytes are not a well-formed document.
    static std::shared_ptr<const LanguageDocument>
    Parse(std::string_view bytes, const std::string& name, std::string& error);
    // Reads and parses the file (regular files up to kMaxFileSize only).
    static std::shared_ptr<const LanguageDocument> Load(const std::string& path,
                                                        std::string& error);
    // A document that failed to load: it answers every lookup with the default.
    static std::shared_ptr<const LanguageDocument> Empty();

    ~LanguageDocument();
    LanguageDocument(const LanguageDocument&) = delete;
    LanguageDocument& operator=(const LanguageDocument&) = delete;

    bool Loaded() const { return doc_ != nullptr; }
    // The text of tag/section/key: a key beginning with a digit is looked up as
    // "P" + key; a key element without "value" gives ""; "##" becomes a double quote.
    // The default when the document has no such element.
    std::string Lookup(std::string_view tag, std::string_view section, std::string_view key,
                       std::string_view def) const;
    // The root's "id" as a decimal integer (0 when missing or not a number) and its
    // "string" (the display name).
    int Id() const;
    std::string Name() const;

private:
    explicit LanguageDocument(_xmlDoc* doc) : doc_(doc) {}
    _xmlDoc* doc_;
};
