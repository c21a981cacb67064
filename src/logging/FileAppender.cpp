#include "logging/FileAppender.h"

void FileAppender::write(int, int, const std::wstring& prefix, const std::wstring& message)
{
    RollFileWriter::write(prefix, message);
}
