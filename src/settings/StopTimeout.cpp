#include "settings/StopTimeout.h"

#include <limits.h>
#include <stdlib.h>

#include <algorithm>

#include "common/WhiteSpace.h"
#include "logging/Logger.h"
#include "settings/SettingsInterfaces.h"

namespace {

const Logger logger(L"FileTaskSettings");

bool isDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

size_t digitsFrom(const std::wstring& text, size_t at)
{
    size_t end = at;
    while (end < text.size() && isDigit(text[end])) {
        ++end;
    }
    return end;
}

// How much of `text` is the decimal number that _wtof reads: a sign, digits
// with a decimal point, an exponent.
size_t decimalNumberLength(const std::wstring& text)
{
    size_t at = !text.empty() && (text[0] == L'+' || text[0] == L'-') ? 1 : 0;
    size_t end = digitsFrom(text, at);
    bool hasDigits = end > at;
    if (end < text.size() && text[end] == L'.') {
        const size_t fractionEnd = digitsFrom(text, end + 1);
        hasDigits = hasDigits || fractionEnd > end + 1;
        end = fractionEnd;
    }
    if (!hasDigits) {
        return 0;
    }
    if (end < text.size() && (text[end] == L'e' || text[end] == L'E')) {
        at = end + 1 < text.size() && (text[end + 1] == L'+' || text[end + 1] == L'-') ? end + 2 : end + 1;
        const size_t exponentEnd = digitsFrom(text, at);
        end = exponentEnd > at ? exponentEnd : end;
    }
    return end;
}

}  // namespace

bool parseStopTimeout(const std::wstring& value, int& milliseconds)
{
    logger.debug(L"Program stop timeout from settings: %s", value);
    const std::wstring text = trimWhiteSpace(value);
    if (text.empty()) {
        logger.error(L"timout value is empty");
        return false;
    }
    if (text == L"0") {
        milliseconds = 0;
        return true;
    }
    logger.debug(L"Parsing timeout: %s", text);
    const double minutes = _wtof(text.c_str());
    if (!(minutes > 0)) {
        logger.error(L"Failed to parse timeout value: %s", text);
        logger.error(L"Timeout \"%s\" in <hostwell>/<execution>/<termination> is not a positive number: write "
                     L"minutes with a decimal point, such as 1.5, or 0 to end the program at once",
                     text);
        return false;
    }
    if (decimalNumberLength(text) != text.size()) {
        logger.error(L"Timeout \"%s\" in <hostwell>/<execution>/<termination> is not a number: write minutes with "
                     L"a decimal point, such as 1.5",
                     text);
        return false;
    }
    logger.debug(L"Parsed value: %f", minutes);
    const double product = minutes * 1000 * 60;
    // A grace period too long to count is the longest one, never none at all.
    milliseconds = product < 2147483648.0 ? static_cast<int>(product) : INT_MAX;
    if (milliseconds == INT_MAX) {
        logger.warn(L"Timeout \"%s\" in <hostwell>/<execution>/<termination> is longer than can be counted: %d "
                    L"milliseconds (about 24.8 days) are used",
                    text, INT_MAX);
    }
    return true;
}

int timeToStop(const ServiceTaskSettings& settings)
{
    long long milliseconds = settings.getStopTimeout();
    if (const HookSettings* postStop = settings.getHook(Hook::PostStop)) {
        milliseconds += postStop->getTimeout().length.count();
    }
    return static_cast<int>(std::min<long long>(milliseconds, INT_MAX));
}
