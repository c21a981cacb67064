#include "StderrCapture.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <stdio.h>
#include <sys/stat.h>

StderrCapture::StderrCapture()
{
    wchar_t folder[MAX_PATH + 1] = {};
    wchar_t file[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH, folder);
    GetTempFileNameW(folder, L"err", 0, file);
    path_ = file;

    fflush(stderr);
    savedDescriptor_ = _dup(2);
    // Binary, so that descriptor 2 keeps "\n" as the library wrote it.
    int capture = -1;
    _wsopen_s(&capture, path_.c_str(), _O_WRONLY | _O_TRUNC | _O_BINARY, _SH_DENYNO, _S_IREAD | _S_IWRITE);
    _dup2(capture, 2);
    _close(capture);
}

StderrCapture::~StderrCapture()
{
    fflush(stderr);
    _dup2(savedDescriptor_, 2);
    _close(savedDescriptor_);
    DeleteFileW(path_.c_str());
}

std::string StderrCapture::text() const
{
    fflush(stderr);
    std::string bytes;
    // Shared: descriptor 2 still has the file open for writing.
    FILE* file = _wfsopen(path_.c_str(), L"rb", _SH_DENYNO);
    if (file == nullptr) {
        return "<capture file missing>";
    }
    char buffer[4096];
    size_t read = 0;
    while ((read = fread(buffer, 1, sizeof buffer, file)) > 0) {
        bytes.append(buffer, read);
    }
    fclose(file);
    return bytes;
}
