#include "process/Pipe.h"

#include "logging/ErrorText.h"
#include "logging/Logger.h"

namespace {
const Logger logger(L"Pipe");
}

Pipe::Pipe(DWORD bufferSize)
{
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, nullptr, TRUE};
    if (!CreatePipe(&readHandle_, &writeHandle_, &attributes, bufferSize)) {
        logger.error(L"Failed to create pipe. %s", lastErrorText());
        readHandle_ = nullptr;
        writeHandle_ = nullptr;
        return;
    }
    // Only the end given to a child is made inheritable, just before its start.
    valid_ = replaceByNonInheritableDuplicate(readHandle_) && replaceByNonInheritableDuplicate(writeHandle_);
}

Pipe::~Pipe()
{
    closeField(writeHandle_);
    closeField(readHandle_);
}

bool Pipe::replaceByNonInheritableDuplicate(HANDLE& end)
{
    const HANDLE process = GetCurrentProcess();
    // DUPLICATE_CLOSE_SOURCE closes the source even when the call fails, so
    // the old value is forgotten, never closed again.
    if (!DuplicateHandle(process, end, process, &end, 0, FALSE, DUPLICATE_CLOSE_SOURCE | DUPLICATE_SAME_ACCESS)) {
        logger.error(L"Fail to duplicate handle");
        end = nullptr;
        return false;
    }
    return true;
}

void Pipe::close(HANDLE handle)
{
    if (handle == readHandle_) {
        closeField(readHandle_);
    } else if (handle == writeHandle_) {
        closeField(writeHandle_);
    } else {
        logger.warn(L"Unknown handle");
        closeField(handle);
    }
}

void Pipe::closeField(HANDLE& field)
{
    if (field != nullptr && !CloseHandle(field)) {
        logger.warn(L"Failed to close handle");
    }
    field = nullptr;
}

void Pipe::makeInheritable(HANDLE handle)
{
    if (valid_ && !SetHandleInformation(handle, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT)) {
        logger.error(L"Failed to set HANDLE_FLAG_INHERIT. %s", lastErrorText());
        valid_ = false;
    }
}

void ChildProcessInHandle::closeChildEnd()
{
    makeInheritable(childEnd());
    close(childEnd());
}
