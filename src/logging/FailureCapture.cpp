#include "logging/FailureCapture.h"

#include "logging/LogLevel.h"
#include "logging/Logger.h"

FailureCapture::FailureCapture() { LoggerHolder::addAppender(this); }

void FailureCapture::write(int level, int, const std::wstring&, const std::wstring& message)
{
    if (level >= LEVEL_ERROR) {
        lastError_ = message;
    } else if (level == LEVEL_WARN) {
        lastWarning_ = message;
    }
}
