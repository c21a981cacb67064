#include "process/OutputDecoder.h"

#include <windows.h>

#include "logging/ErrorText.h"
#include "logging/Logger.h"

namespace {

const Logger logger(L"PipeReader");

size_t completeUtf8Bytes(const unsigned char* data, size_t size)
{
    // Look back over at most three continuation bytes for the lead byte.
    size_t lead = size;
    for (size_t back = 1; back <= 4 && back <= size; ++back) {
        const unsigned char byte = data[size - back];
        if ((byte & 0xC0) != 0x80) {
            lead = size - back;
            break;
        }
    }
    if (lead == size) {
        return size;
    }
    const unsigned char byte = data[lead];
    const size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
    return lead + length > size ? lead : size;
}

size_t completeDoubleByteBytes(unsigned int codePage, const unsigned char* data, size_t size)
{
    // A trail byte can look like a lead byte: walk from the start.
    size_t i = 0;
    while (i < size) {
        if (IsDBCSLeadByteEx(codePage, data[i])) {
            if (i + 1 >= size) {
                return i;
            }
            i += 2;
        } else {
            ++i;
        }
    }
    return size;
}

size_t completeUtf16Bytes(const unsigned char* data, size_t size)
{
    const size_t whole = size - size % 2;
    // A high surrogate waits for the low one that follows it.
    if (whole >= 2 && data[whole - 1] >= 0xD8 && data[whole - 1] <= 0xDB) {
        return whole - 2;
    }
    return whole;
}

bool isUtf8(const std::string& bytes)
{
    return bytes.empty() || MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(),
                                                static_cast<int>(bytes.size()), nullptr, 0) > 0;
}

}  // namespace

unsigned int consoleOutputCodePage(unsigned int reported) { return reported != 0 ? reported : GetOEMCP(); }

size_t completeCharacterBytes(unsigned int codePage, const char* data, size_t size)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(data);
    const UINT effective = codePage == CP_ACP ? GetACP() : codePage == CP_OEMCP ? GetOEMCP() : codePage;
    if (effective == CP_UTF8) {
        return completeUtf8Bytes(bytes, size);
    }
    if (effective == CODE_PAGE_UTF16) {
        return completeUtf16Bytes(bytes, size);
    }
    CPINFO info = {};
    if (GetCPInfo(effective, &info) && info.MaxCharSize == 2) {
        return completeDoubleByteBytes(effective, bytes, size);
    }
    return size;
}

size_t OutputDecoder::findLineFeed(size_t start) const
{
    if (!isUtf16()) {
        return pending_.find('\n', start);
    }
    for (size_t i = start; i + 1 < pending_.size(); i += 2) {
        if (pending_[i] == '\n' && pending_[i + 1] == '\0') {
            return i;
        }
    }
    return std::string::npos;
}

unsigned int OutputDecoder::codePageOf(unsigned int consoleCodePage, const std::string& bytes) const
{
    if (!encoding_.isAutomatic()) {
        return encoding_.codePage();
    }
    return isUtf8(bytes) ? CP_UTF8 : consoleCodePage;
}

std::wstring OutputDecoder::decode(unsigned int consoleCodePage, const std::string& bytes) const
{
    return decodeAll(codePageOf(consoleCodePage, bytes), bytes);
}

std::wstring OutputDecoder::takePiece(unsigned int consoleCodePage)
{
    // Judged without a UTF-8 character the next read completes.
    const size_t utf8Complete = completeCharacterBytes(CP_UTF8, pending_.data(), pending_.size());
    const unsigned int codePage = codePageOf(consoleCodePage, pending_.substr(0, utf8Complete));
    const size_t complete = completeCharacterBytes(codePage, pending_.data(), pending_.size());
    const std::wstring piece = decodeAll(codePage, pending_.substr(0, complete));
    pending_.erase(0, complete);
    return piece;
}

std::wstring OutputDecoder::decodeAll(unsigned int codePage, const std::string& bytes)
{
    if (bytes.empty()) {
        return std::wstring();
    }
    if (codePage == CODE_PAGE_UTF16) {
        std::wstring text(bytes.size() / 2, L'\0');
        bytes.copy(reinterpret_cast<char*>(&text[0]), text.size() * 2);
        return text;
    }
    const int length = static_cast<int>(bytes.size());
    const int size = MultiByteToWideChar(codePage, 0, bytes.data(), length, nullptr, 0);
    if (size <= 0) {
        logger.warn(L"Failed to read process output text. %s", lastErrorText());
        return L"?";
    }
    std::wstring text(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(codePage, 0, bytes.data(), length, &text[0], size);
    return text;
}

std::wstring OutputDecoder::withoutLineEnd(const std::wstring& line)
{
    return !line.empty() && line.back() == L'\r' ? line.substr(0, line.size() - 1) : line;
}
