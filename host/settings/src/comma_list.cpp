#include "settings/comma_list.h"

namespace {

bool IsBlank(char c) {
    const auto code = static_cast<unsigned char>(c);
    return code >= 1 && code <= 32;
}

class CommaListReader {
public:
    explicit CommaListReader(std::string_view text) : text_(text.substr(0, text.find('\0'))) {}

    std::vector<std::string> Items() {
        std::vector<std::string> items;
        SkipBlanks();
        while (!AtEnd()) {
            items.push_back(Peek() == '"' ? QuotedItem() : PlainItem());
            SkipBlanks();
            if (!AtEnd() && Peek() == ',') {
                ++pos_;
                // Only a comma that ends the text adds an empty last item; blanks after
                // it do not.
                if (AtEnd()) items.emplace_back();
                SkipBlanks();
            }
        }
        return items;
    }

private:
    bool AtEnd() const { return pos_ >= text_.size(); }
    char Peek() const { return text_[pos_]; }

    void SkipBlanks() {
        while (!AtEnd() && IsBlank(Peek()))
            ++pos_;
    }

    // Runs to the next lone quote (or the end of the text); "" stands for one quote.
    std::string QuotedItem() {
        std::string item;
        ++pos_;
        while (!AtEnd()) {
            const char c = text_[pos_++];
            if (c != '"') {
                item += c;
            } else if (!AtEnd() && Peek() == '"') {
                item += '"';
                ++pos_;
            } else {
                break;
            }
        }
        return item;
    }

    std::string PlainItem() {
        const std::size_t start = pos_;
        while (!AtEnd() && Peek() != ',' && !IsBlank(Peek()))
            ++pos_;
        return std::string(text_.substr(start, pos_ - start));
    }

    std::string_view text_;
    std::size_t pos_ = 0;
};

} // namespace

std::vector<std::string> ParseCommaList(std::string_view text) {
    return CommaListReader(text).Items();
}
