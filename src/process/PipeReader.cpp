#include "process/PipeReader.h"

#include <vector>

#include "common/ThreadFailure.h"
#include "logging/ErrorText.h"
#include "logging/Logger.h"
#include "process/PipeReaderCallback.h"

namespace {

const Logger logger(L"PipeReader");
const DWORD CHUNK_SIZE = 65536;
const DWORD IDLE_POLL = 100;
// What is drained after the child's end is bounded: a grandchild that keeps
// writing into the inherited pipe must not keep the reader alive.
const size_t MAX_DRAIN = 64 * 1024 * 1024;

}  // namespace

PipeReader::PipeReader(HANDLE pipe, PipeReaderCallback* callback) : callback_(callback), pipe_(pipe)
{
    thread_.reset(CreateThread(nullptr, 0, threadMain, this, 0, &threadId_));
    if (!thread_) {
        logger.error(L"Failed to start pipe read thread. %s", lastErrorText());
    }
}

PipeReader::~PipeReader()
{
    logger.debug(L"PipeReader::~PipeReader => inheritor object is disposed!");
    stop();
}

void PipeReader::stop()
{
    if (!thread_) {
        return;
    }
    interrupt();
    if (WaitForSingleObject(thread_.get(), 500) == WAIT_OBJECT_0) {
        return;
    }
    CancelIo(pipe_);
    DWORD waited = WaitForSingleObject(thread_.get(), 1500);
    while (waited != WAIT_OBJECT_0) {
        logger.warn(L"Failed to wait for pipe reader thread to exit");
        CancelIo(pipe_);
        waited = WaitForSingleObject(thread_.get(), 1500);
    }
}

DWORD WINAPI PipeReader::threadMain(LPVOID parameter)
{
    DWORD result = 1;
    fenced(L"Output reader", [&] { result = static_cast<PipeReader*>(parameter)->run(); });
    return result;
}

DWORD PipeReader::run()
{
    std::vector<char> buffer(CHUNK_SIZE);
    DWORD idleSleep = 1;
    while (!isInterrupted()) {
        const int result = readAvailable(buffer.data(), CHUNK_SIZE);
        if (result < 0) {
            finish();
            return result == -1 ? 0 : 1;
        }
        if (result > 0) {
            idleSleep = 1;
            continue;
        }
        Sleep(idleSleep);
        idleSleep = idleSleep * 2 < IDLE_POLL ? idleSleep * 2 : IDLE_POLL;
    }
    // Stopped after the child's end: what it wrote before it ended is still
    // in the pipe and must not be lost.
    for (size_t drained = 0; drained < MAX_DRAIN && readAvailable(buffer.data(), CHUNK_SIZE) > 0;
         drained += CHUNK_SIZE) {
    }
    finish();
    return 0;
}

int PipeReader::readAvailable(char* buffer, DWORD capacity)
{
    DWORD available = 0;
    if (!PeekNamedPipe(pipe_, nullptr, 0, nullptr, &available, nullptr)) {
        const DWORD error = GetLastError();
        if (error == ERROR_BROKEN_PIPE) {
            logger.debug(L"Nothing is read from pipe. EOF detected.");
            return -1;
        }
        logger.debug(L"Failed to read from pipe. %s, interrupted=%s", errorText(error), interruptedText());
        return -2;
    }
    if (available == 0) {
        return 0;
    }
    DWORD read = 0;
    if (!ReadFile(pipe_, buffer, available < capacity ? available : capacity, &read, nullptr)) {
        const DWORD error = GetLastError();
        if (error != ERROR_IO_PENDING && error != ERROR_MORE_DATA) {
            logger.debug(L"Failed to read from pipe. %s, interrupted=%s", errorText(error), interruptedText());
            return -2;
        }
    }
    if (read == 0) {
        logger.debug(L"Nothing is read from pipe. EOF detected.");
        return -1;
    }
    decoder_.append(GetConsoleOutputCP(), buffer, read, [this](const std::wstring& line) { callback_->onLine(line); });
    return 1;
}

void PipeReader::finish()
{
    decoder_.finish(GetConsoleOutputCP(), [this](const std::wstring& line) { callback_->onLine(line); });
}
