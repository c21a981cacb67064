#pragma once

#include <string>

// Turns the bytes a child writes into lines of text. A character split
// between two reads is kept back until its rest arrives, so conversion never
// sees half a character; a line longer than the limit is passed on in pieces.
class OutputDecoder {
public:
    static const size_t LONG_LINE = 4096;

    template <typename OnLine>
    void append(unsigned int codePage, const char* data, size_t size, OnLine onLine)
    {
        appendText(decode(codePage, data, size), onLine);
    }

    // The rest of the output after its end: a last line without a line feed.
    template <typename OnLine>
    void finish(unsigned int codePage, OnLine onLine)
    {
        std::wstring rest = decodeAll(codePage, carried_);
        carried_.clear();
        pending_ += rest;
        cutLines(onLine);
        if (!pending_.empty()) {
            onLine(trimmed(pending_));
            pending_.clear();
        }
    }

private:
    std::wstring decode(unsigned int codePage, const char* data, size_t size);
    static std::wstring decodeAll(unsigned int codePage, const std::string& bytes);
    static std::wstring trimmed(const std::wstring& line);

    template <typename OnLine>
    void appendText(const std::wstring& text, OnLine onLine)
    {
        pending_ += text;
        cutLines(onLine);
    }

    template <typename OnLine>
    void cutLines(OnLine onLine)
    {
        size_t start = 0;
        for (;;) {
            const size_t feed = pending_.find(L'\n', start);
            if (feed == std::wstring::npos) {
                break;
            }
            onLine(trimmed(pending_.substr(start, feed - start)));
            start = feed + 1;
        }
        pending_.erase(0, start);
        if (pending_.size() > LONG_LINE) {
            onLine(pending_);
            pending_.clear();
        }
    }

    std::string carried_;
    std::wstring pending_;
};

// How many of the bytes form whole characters in the code page; the rest
// starts a character whose other bytes are still to come.
size_t completeCharacterBytes(unsigned int codePage, const char* data, size_t size);
