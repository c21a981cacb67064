#include "process/PipeReader.h"

#include <vector>

#include "logging/ErrorText.h"
#include "logging/Logger.h"
#include "logging/ThreadFailure.h"
#include "process/PipeReaderCallback.h"

namespace {

const Logger logger(L"PipeReader");
const DWORD CHUNK_SIZE = 65536;
// How long stop() lets the thread end by itself before it looks again.
const DWORD CANCEL_INTERVAL = 10;
const DWORD STUCK_WARNING_INTERVAL = 1500;
// What is drained after the child's end is bounded: a grandchild that keeps
// writing into the inherited pipe must not keep the reader alive.
const size_t MAX_DRAIN = 64 * 1024 * 1024;

}  // namespace

PipeReader::PipeReader(HANDLE pipe, OutputEncoding encoding, PipeReaderCallback* callback)
    : callback_(callback), pipe_(pipe), decoder_(encoding)
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
    ULONGLONG warned = GetTickCount64();
    while (WaitForSingleObject(thread_.get(), CANCEL_INTERVAL) != WAIT_OBJECT_0) {
        // Once interrupted the thread drains without waiting; only a read
        // that waits on an empty pipe, kept open by processes the child
        // started, is cancelled. A read that returns data is never cut short:
        // a cancel racing with it could lose what it read.
        DWORD available = 0;
        if (PeekNamedPipe(pipe_, nullptr, 0, nullptr, &available, nullptr) && available == 0) {
            CancelSynchronousIo(thread_.get());
        }
        if (GetTickCount64() - warned >= STUCK_WARNING_INTERVAL) {
            logger.warn(L"Failed to wait for pipe reader thread to exit");
            warned = GetTickCount64();
        }
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
    while (!isInterrupted()) {
        const int result = readBlocking(buffer.data(), CHUNK_SIZE);
        if (result < 0) {
            finish();
            return result == -1 ? 0 : 1;
        }
    }
    // Stopped after the child's end: what it wrote before it ended is still
    // in the pipe and must not be lost.
    for (size_t drained = 0; drained < MAX_DRAIN && readAvailable(buffer.data(), CHUNK_SIZE) > 0;
         drained += CHUNK_SIZE) {
    }
    finish();
    return 0;
}

int PipeReader::readBlocking(char* buffer, DWORD capacity)
{
    DWORD read = 0;
    if (!ReadFile(pipe_, buffer, capacity, &read, nullptr)) {
        const DWORD error = GetLastError();
        if (error == ERROR_OPERATION_ABORTED) {
            return 0;
        }
        return readFailure(error);
    }
    if (read == 0) {
        logger.debug(L"Nothing is read from pipe. EOF detected.");
        return -1;
    }
    deliver(buffer, read);
    return 1;
}

int PipeReader::readAvailable(char* buffer, DWORD capacity)
{
    DWORD available = 0;
    if (!PeekNamedPipe(pipe_, nullptr, 0, nullptr, &available, nullptr)) {
        return readFailure(GetLastError());
    }
    if (available == 0) {
        return 0;
    }
    DWORD read = 0;
    if (!ReadFile(pipe_, buffer, available < capacity ? available : capacity, &read, nullptr)) {
        return readFailure(GetLastError());
    }
    deliver(buffer, read);
    return read > 0 ? 1 : 0;
}

int PipeReader::readFailure(DWORD error)
{
    if (error == ERROR_BROKEN_PIPE) {
        logger.debug(L"Nothing is read from pipe. EOF detected.");
        return -1;
    }
    logger.debug(L"Failed to read from pipe. %s, interrupted=%s", errorText(error), interruptedText());
    return -2;
}

void PipeReader::deliver(const char* buffer, DWORD size)
{
    decoder_.append(GetConsoleOutputCP(), buffer, size, [this](const std::wstring& line) { callback_->onLine(line); });
}

void PipeReader::finish()
{
    decoder_.finish(GetConsoleOutputCP(), [this](const std::wstring& line) { callback_->onLine(line); });
}
