#include "logging/LogAppender.h"

#include "logging/LoggerSetup.h"

LogAppender::~LogAppender() { detach(); }

void LogAppender::detach()
{
    if (owner_ != nullptr) {
        owner_->removeAppender(this);
    }
}
