#include "process/LogPipeReader.h"

#include <windows.h>

#include "common/WhiteSpace.h"

namespace {

const Logger logger(L"PipeReader");

}  // namespace

void LogPipeReader::onLine(const std::wstring& line)
{
    if (!outputLog_.isOpen()) {
        info(trimTrailingWhiteSpace(line));
        partial_.clear();
        return;
    }
    partial_ += line;
    cutLongLine();
    outputLog_.write(partial_);
    partial_.clear();
}

void LogPipeReader::onPiece(const std::wstring& piece)
{
    if (!outputLog_.isOpen()) {
        info(piece);
        return;
    }
    partial_ += piece;
    cutLongLine();
}

void LogPipeReader::cutLongLine()
{
    while (partial_.size() > LONGEST_LINE) {
        // A surrogate pair stays whole.
        const size_t cut = IS_HIGH_SURROGATE(partial_[LONGEST_LINE - 1]) ? LONGEST_LINE - 1 : LONGEST_LINE;
        if (!cutWarned_) {
            cutWarned_ = true;
            logger.warn(L"A line of the program's output is longer than %d characters: the output log has it in "
                        L"lines of that length",
                        static_cast<int>(LONGEST_LINE));
        }
        outputLog_.write(partial_.substr(0, cut));
        partial_.erase(0, cut);
    }
}
