#include "logging/LogAppender.h"

#include "logging/LoggerSetup.h"

LogAppender::~LogAppender()
{
    if (owner_ != nullptr) {
        owner_->removeAppender(this);
    }
}
