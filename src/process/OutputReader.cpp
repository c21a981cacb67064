#include "process/OutputReader.h"

#include "logging/ErrorText.h"
#include "logging/Logger.h"
#include "process/PipeReaderCallback.h"

namespace {

const Logger logger(L"PipeReader");
const DWORD CHUNK_SIZE = 65536;

}  // namespace

ReadResult readResult(bool completed, DWORD bytes, DWORD error)
{
    if (completed) {
        // A zero-byte read is a zero-byte write, not the end of the pipe
        // (Windows delivers such writes; Wine drops them, so only a unit test shows it).
        return bytes > 0 ? ReadResult::Data : ReadResult::Nothing;
    }
    switch (error) {
    case ERROR_BROKEN_PIPE:
    case ERROR_HANDLE_EOF:
        return ReadResult::End;
    case ERROR_OPERATION_ABORTED:
        return ReadResult::Cancelled;
    default:
        return ReadResult::Failed;
    }
}

OutputReader::OutputReader(HANDLE pipe, OutputEncoding encoding, PipeReaderCallback* callback)
    : pipe_(pipe), callback_(callback), codePage_(consoleOutputCodePage(GetConsoleOutputCP())), decoder_(encoding),
      event_(CreateEventW(nullptr, TRUE, FALSE, nullptr)), buffer_(CHUNK_SIZE)
{
    if (!event_) {
        logger.error(L"Failed to create the event of the output reader. %s", lastErrorText());
    }
}

OutputReader::~OutputReader() { cancel(); }

void OutputReader::start()
{
    reading_ = static_cast<bool>(event_);
    if (reading_) {
        beginRead();
    }
}

void OutputReader::beginRead()
{
    overlapped_ = {};
    overlapped_.hEvent = event_.get();
    if (ReadFile(pipe_, buffer_.data(), CHUNK_SIZE, nullptr, &overlapped_)) {
        // Done at once: the result is taken where every other read's is.
        pending_ = true;
        SetEvent(event_.get());
        return;
    }
    const DWORD error = GetLastError();
    if (error == ERROR_IO_PENDING) {
        pending_ = true;
        return;
    }
    conclude(readResult(false, 0, error), 0, error);
}

DWORD OutputReader::onReadCompleted()
{
    DWORD bytes = 0;
    const bool completed = GetOverlappedResult(pipe_, &overlapped_, &bytes, FALSE) != FALSE;
    const DWORD error = completed ? ERROR_SUCCESS : GetLastError();
    if (!completed && error == ERROR_IO_INCOMPLETE) {
        return 0;
    }
    pending_ = false;
    const DWORD passed = conclude(readResult(completed, bytes, error), bytes, error);
    if (reading_) {
        beginRead();
    }
    return passed;
}

DWORD OutputReader::conclude(ReadResult result, DWORD bytes, DWORD error)
{
    switch (result) {
    case ReadResult::Data:
        decoder_.append(codePage_, buffer_.data(), bytes, [this](const std::wstring& line) { callback_->onLine(line); },
                        [this](const std::wstring& piece) { callback_->onPiece(piece); });
        return bytes;
    case ReadResult::Nothing:
        return 0;
    case ReadResult::End:
        logger.debug(L"Nothing is read from pipe. EOF detected.");
        break;
    case ReadResult::Cancelled:
        break;
    case ReadResult::Failed:
        logger.warn(L"Failed to read from pipe; the program's output is no longer read. %s", errorText(error));
        break;
    }
    reading_ = false;
    finish();
    return 0;
}

void OutputReader::drain()
{
    // A pending read ends as soon as the pipe holds a byte: one that has not
    // ended finds it empty.
    for (DrainBound bound; reading_ && bound.allowsMore() && WaitForSingleObject(event_.get(), 0) == WAIT_OBJECT_0;) {
        bound.count(onReadCompleted());
    }
    if (reading_) {
        // A cancelled read transfers nothing; one that completed first has its bytes.
        const DWORD bytes = cancel();
        if (bytes > 0) {
            conclude(ReadResult::Data, bytes, ERROR_SUCCESS);
        }
        reading_ = false;
        finish();
    }
}

DWORD OutputReader::cancel()
{
    DWORD bytes = 0;
    if (pending_) {
        CancelIoEx(pipe_, &overlapped_);
        if (!GetOverlappedResult(pipe_, &overlapped_, &bytes, TRUE)) {
            bytes = 0;
        }
        pending_ = false;
    }
    return bytes;
}

void OutputReader::finish()
{
    decoder_.finish(codePage_, [this](const std::wstring& line) { callback_->onLine(line); });
}
