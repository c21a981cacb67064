#include "logging/RollOverWorker.h"

#include "common/Format.h"
#include "logging/BackupCompressor.h"
#include "logging/ErrorText.h"
#include "logging/LogBackups.h"
#include "logging/ThreadFailure.h"

void RollOverWorker::start(LogBackups& backups, LogFileOperations& files, const std::wstring& copy,
                           const std::wstring& name, bool compress)
{
    wait();
    backups_ = &backups;
    files_ = &files;
    copy_ = copy;
    name_ = name;
    compress_ = compress;
    outcome_ = Outcome();
    outcomeTaken_ = false;
    busy_ = true;
    thread_.reset(CreateThread(nullptr, 0, threadMain, this, 0, nullptr));
    if (!thread_) {
        run();
    }
}

bool RollOverWorker::takeOutcome(Outcome& outcome)
{
    if (busy_ || outcomeTaken_) {
        return false;
    }
    outcomeTaken_ = true;
    outcome = outcome_;
    return true;
}

void RollOverWorker::wait()
{
    if (thread_) {
        WaitForSingleObject(thread_.get(), INFINITE);
        thread_.reset();
    }
}

DWORD WINAPI RollOverWorker::threadMain(LPVOID parameter)
{
    auto* worker = static_cast<RollOverWorker*>(parameter);
    const bool ran = fenced(L"Log roll-over", [worker] { worker->run(); });
    if (!ran) {
        worker->outcome_.error = ThreadFailure::EXIT_CODE;
        worker->outcome_.failedFile = worker->copy_;
        worker->busy_ = false;
    }
    return ran ? 0 : 1;
}

void RollOverWorker::run()
{
    outcome_.error = backups_->place(copy_, name_, outcome_.failedFile);
    if (outcome_.error == ERROR_SUCCESS && compress_) {
        if (BackupCompressor(*files_).compress(name_, outcome_.compressionFailure)) {
            backups_->compressed(name_);
        }
    }
    // The writer reads the outcome only after it sees this.
    busy_ = false;
}
