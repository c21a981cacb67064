#pragma once

#include <string>

#include "settings/OutputEncoding.h"

// Turns the bytes a child writes into lines of text. Lines are cut on the
// bytes and each is converted whole, so a character split between two reads
// stays whole and the automatic encoding judges a line by all its bytes; a
// line longer than the limit is passed on in pieces that end on whole
// characters. UTF-16 output (little-endian) is cut on its own line feeds.
// A line keeps its trailing blanks; only its end, LF or CR LF, is taken off.
class OutputDecoder {
public:
    static const size_t LONG_LINE = 4096;

    explicit OutputDecoder(OutputEncoding encoding) : encoding_(encoding) {}

    // `consoleCodePage` is the console output code page of the moment
    // (consoleOutputCodePage): the automatic encoding reads lines that are not
    // UTF-8 in it.
    // Lines go to `onLine`; the pieces of a line too long to wait for its end to `onPiece`.
    template <typename OnLine, typename OnPiece>
    void append(unsigned int consoleCodePage, const char* data, size_t size, OnLine onLine, OnPiece onPiece)
    {
        pending_.append(data, size);
        size_t start = 0;
        for (;;) {
            const size_t feed = findLineFeed(start);
            if (feed == std::string::npos) {
                break;
            }
            onLine(withoutLineEnd(decode(consoleCodePage, pending_.substr(start, feed - start))));
            start = feed + lineFeedSize();
            pieceSent_ = false;
        }
        pending_.erase(0, start);
        if (pending_.size() > LONG_LINE) {
            onPiece(takePiece(consoleCodePage));
            pieceSent_ = true;
        }
    }

    template <typename OnLine>
    void append(unsigned int consoleCodePage, const char* data, size_t size, OnLine onLine)
    {
        append(consoleCodePage, data, size, onLine, onLine);
    }

    // The rest of the output after its end: a last line without a line feed,
    // also the empty end of one whose pieces went before.
    template <typename OnLine>
    void finish(unsigned int consoleCodePage, OnLine onLine)
    {
        if (!pending_.empty() || pieceSent_) {
            onLine(withoutLineEnd(decode(consoleCodePage, pending_)));
            pending_.clear();
            pieceSent_ = false;
        }
    }

private:
    bool isUtf16() const { return !encoding_.isAutomatic() && encoding_.codePage() == CODE_PAGE_UTF16; }
    size_t lineFeedSize() const { return isUtf16() ? 2 : 1; }
    // The position of the next line feed in the pending bytes from `start`.
    size_t findLineFeed(size_t start) const;
    unsigned int codePageOf(unsigned int consoleCodePage, const std::string& bytes) const;
    std::wstring decode(unsigned int consoleCodePage, const std::string& bytes) const;
    // The whole characters of the pending bytes, untrimmed; an incomplete
    // character at their end stays pending.
    std::wstring takePiece(unsigned int consoleCodePage);
    static std::wstring decodeAll(unsigned int codePage, const std::string& bytes);
    static std::wstring withoutLineEnd(const std::wstring& line);

    OutputEncoding encoding_;
    std::string pending_;
    // A piece of the line under way has gone out: its end is still to come.
    bool pieceSent_ = false;
};

// How many of the bytes form whole characters in the code page; the rest
// starts a character whose other bytes are still to come.
size_t completeCharacterBytes(unsigned int codePage, const char* data, size_t size);

// The code page console programs write in: the console's, as
// GetConsoleOutputCP reports it, or, where that is 0 because there is no
// console (a service), the OEM code page a new console starts with.
unsigned int consoleOutputCodePage(unsigned int reported);
