#include "settings/language_document.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <climits>
#include <cstring>
#include <mutex>

namespace {

void InitLibxml() {
    static std::once_flag once;
    std::call_once(once, [] { xmlInitParser(); });
}

// A document type declaration is where entities (and with them entity expansion
// bombs and references to other files) would come from; language files never need
// one, so the parse stops at the first sign of it. Stopping also turns off every
// further callback, so nothing of the declaration is ever recorded or expanded.
void RefuseDocumentType(void* ctx, const xmlChar*, const xmlChar*, const xmlChar*) {
    auto* parser = static_cast<xmlParserCtxtPtr>(ctx);
    parser->_private = parser; // marks the refusal for the error text
    xmlStopParser(parser);
}

struct ParserContext {
    ParserContext() : ctxt(xmlNewParserCtxt()) {}
    ~ParserContext() {
        if (ctxt) xmlFreeParserCtxt(ctxt);
    }
    ParserContext(const ParserContext&) = delete;
    ParserContext& operator=(const ParserContext&) = delete;
    xmlParserCtxtPtr ctxt;
};

std::string ParserError(xmlParserCtxtPtr ctxt) {
    if (ctxt->_private == ctxt) return "document type declarations are not allowed";
    const xmlError* err = xmlCtxtGetLastError(ctxt);
    if (!err || !err->message) return "not a well-formed XML document";
    std::string text = err->message;
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return "line " + std::to_string(err->line) + ": " + text;
}

// Element names are compared exactly; an element with a namespace prefix has
// another name than the one asked for.
bool IsElementNamed(const xmlNode* node, std::string_view name) {
    if (node->type != XML_ELEMENT_NODE) return false;
    if (node->ns && node->ns->prefix) return false;
    return name == reinterpret_cast<const char*>(node->name);
}

const xmlNode* FirstChildNamed(const xmlNode* first, std::string_view name) {
    for (const xmlNode* n = first; n; n = n->next)
        if (IsElementNamed(n, name)) return n;
    return nullptr;
}

// The text of a plain (namespace-less) attribute, or nothing when it is absent.
bool AttributeText(const xmlNode* node, const char* name, std::string& text) {
    for (const xmlAttr* a = node->properties; a; a = a->next) {
        if (a->ns || std::strcmp(reinterpret_cast<const char*>(a->name), name) != 0) continue;
        text.clear();
        for (const xmlNode* c = a->children; c; c = c->next)
            if (c->type == XML_TEXT_NODE && c->content)
                text += reinterpret_cast<const char*>(c->content);
        return true;
    }
    return false;
}

std::string ReplaceDoubleHashes(std::string text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '#' && i + 1 < text.size() && text[i + 1] == '#') {
            out += '"';
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

bool ParseDecimal(std::string_view text, int& value) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty()) return false;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end;
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

// Reads a regular file of at most maxSize bytes. Opened non-blocking so that a pipe
// or device named like a language file can't stall the caller.
bool ReadSmallFile(const std::string& path, std::size_t maxSize, std::string& bytes,
                   std::string& error) {
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0) {
        error = std::strerror(errno);
        return false;
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        error = "not a regular file";
        return false;
    }
    if (static_cast<unsigned long long>(st.st_size) > maxSize) {
        error = "file larger than " + std::to_string(maxSize) + " bytes";
        return false;
    }
    bytes.assign(static_cast<std::size_t>(st.st_size), '\0');
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::read(fd.get(), bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    // A file that shrank while being read is parsed as far as it went; the parser
    // refuses it if that cut a document short.
    bytes.resize(done);
    return true;
}

} // namespace

std::shared_ptr<const LanguageDocument>
LanguageDocument::Parse(std::string_view bytes, const std::string& name, std::string& error) {
    InitLibxml();
    if (bytes.size() > kMaxFileSize || bytes.size() > static_cast<std::size_t>(INT_MAX)) {
        error = "file larger than " + std::to_string(kMaxFileSize) + " bytes";
        return nullptr;
    }
    ParserContext parser;
    if (!parser.ctxt) {
        error = "out of memory";
        return nullptr;
    }
    parser.ctxt->sax->internalSubset = RefuseDocumentType;
    constexpr int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;
    xmlDocPtr doc = xmlCtxtReadMemory(parser.ctxt, bytes.data(), static_cast<int>(bytes.size()),
                                      name.c_str(), nullptr, options);
    const bool refusedDocumentType = parser.ctxt->_private == parser.ctxt;
    if (!doc || !parser.ctxt->wellFormed || refusedDocumentType || doc->intSubset ||
        doc->extSubset) {
        error = ParserError(parser.ctxt);
        if (doc) xmlFreeDoc(doc);
        return nullptr;
    }
    return std::shared_ptr<const LanguageDocument>(new LanguageDocument(doc));
}

std::shared_ptr<const LanguageDocument> LanguageDocument::Load(const std::string& path,
                                                               std::string& error) {
    std::string bytes;
    if (!ReadSmallFile(path, kMaxFileSize, bytes, error)) return nullptr;
    return Parse(bytes, path, error);
}

std::shared_ptr<const LanguageDocument> LanguageDocument::Empty() {
    return std::shared_ptr<const LanguageDocument>(new LanguageDocument(nullptr));
}

LanguageDocument::~LanguageDocument() {
    if (doc_) xmlFreeDoc(doc_);
}

namespace {

const xmlNode* RootElement(const _xmlDoc* doc) {
    return doc ? FirstChildNamed(doc->children, "language") : nullptr;
}

} // namespace

std::string LanguageDocument::Lookup(std::string_view tag, std::string_view section,
                                     std::string_view key, std::string_view def) const {
    std::string elementName(key);
    if (!key.empty() && key.front() >= '0' && key.front() <= '9') elementName.insert(0, "P");
    const xmlNode* node = RootElement(doc_);
    for (std::string_view name : {tag, section, std::string_view(elementName)}) {
        if (!node) break;
        node = FirstChildNamed(node->children, name);
    }
    if (!node) return std::string(def);
    std::string text;
    AttributeText(node, "value", text);
    return ReplaceDoubleHashes(std::move(text));
}

int LanguageDocument::Id() const {
    const xmlNode* root = RootElement(doc_);
    std::string text;
    int id = 0;
    if (!root || !AttributeText(root, "id", text) || !ParseDecimal(text, id)) return 0;
    return id;
}

std::string LanguageDocument::Name() const {
    const xmlNode* root = RootElement(doc_);
    std::string text;
    if (root) AttributeText(root, "string", text);
    return text;
}
