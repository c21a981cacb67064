#include "logging/LostRecords.h"

#include "common/Format.h"
#include "logging/ErrorText.h"
#include "logging/Logger.h"
#include "logging/ServiceEvents.h"

namespace {

const Logger logger(L"RollFileWriter");

}  // namespace

std::wstring lostRecordsText(bool programOutput, const LostRecords& lost, const std::wstring& file)
{
    if (programOutput) {
        return format(lost.count == 1 ? L"%d line of program output was lost in %s: %s"
                                      : L"%d lines of program output were lost in %s: %s",
                      lost.count, file, errorText(lost.reason));
    }
    return format(lost.count == 1 ? L"%d log record was lost in %s: %s" : L"%d log records were lost in %s: %s",
                  lost.count, file, errorText(lost.reason));
}

void reportLostRecords(bool programOutput, const LostRecords& lost, const std::wstring& file)
{
    logger.warn(lostRecordsText(programOutput, lost, file));
    ServiceEvents::recordsLost(static_cast<unsigned long long>(lost.count), file, errorText(lost.reason));
}
