#include "settings/OutputEncoding.h"

#include <windows.h>

#include <stdlib.h>

#include "common/TextConversion.h"
#include "common/WhiteSpace.h"
#include "logging/Logger.h"

namespace {

const Logger logger(L"FileTaskSettings");
// Code page numbers have at most five digits; longer ones would overflow the parse.
const size_t MAX_CODE_PAGE_DIGITS = 5;

bool isCodePageNumber(const std::wstring& text)
{
    return !text.empty() && text.size() <= MAX_CODE_PAGE_DIGITS &&
           text.find_first_not_of(L"0123456789") == std::wstring::npos;
}

}  // namespace

bool parseOutputEncoding(const std::wstring& value, OutputEncoding& encoding)
{
    const std::wstring name = lowerCaseAscii(trimWhiteSpace(value));
    if (name == L"auto") {
        encoding = OutputEncoding::automatic();
    } else if (name == L"utf-8") {
        encoding = OutputEncoding::fixed(CP_UTF8);
    } else if (name == L"utf-16" || name == L"1200") {
        encoding = OutputEncoding::fixed(CODE_PAGE_UTF16);
    } else if (name == L"ansi") {
        encoding = OutputEncoding::fixed(CP_ACP);
    } else if (name == L"oem") {
        encoding = OutputEncoding::fixed(CP_OEMCP);
    } else if (!isCodePageNumber(name)) {
        logger.error(L"Unknown output-encoding \"%s\" in <hostwell>/<execution>: write auto, utf-8, utf-16, ansi, oem "
                     L"or the number of a code page, such as 1252",
                     value);
        return false;
    } else {
        const unsigned int codePage = static_cast<unsigned int>(wcstoul(name.c_str(), nullptr, 10));
        if (!IsValidCodePage(codePage)) {
            logger.error(L"Code page %s of <hostwell>/<execution>/<output-encoding> is not installed on this system: "
                         L"write auto, utf-8, utf-16, ansi, oem or the number of an installed code page",
                         name);
            return false;
        }
        encoding = OutputEncoding::fixed(codePage);
    }
    logger.debug(L"Program output encoding: %s", name);
    return true;
}
