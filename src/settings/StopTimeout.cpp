#include "settings/StopTimeout.h"

#include <limits.h>
#include <stdlib.h>

#include "common/WhiteSpace.h"
#include "logging/Logger.h"

namespace {
const Logger logger(L"FileTaskSettings");
}

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
        return false;
    }
    logger.debug(L"Parsed value: %f", minutes);
    const double product = minutes * 1000 * 60;
    // A grace period too long to count is the longest one, never none at all.
    milliseconds = product < 2147483648.0 ? static_cast<int>(product) : INT_MAX;
    return true;
}
