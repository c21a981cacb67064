#include "common/WholeFileWriter.h"

#include "common/Directories.h"
#include "common/UniqueResource.h"

namespace {

const int RENAME_ATTEMPTS = 5;
const DWORD RENAME_RETRY_MILLISECONDS = 20;

UniqueHandle createTemporary(const std::wstring& path)
{
    return UniqueHandle(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

}  // namespace

DWORD WholeFileWriter::write(const std::string& bytes)
{
    const std::wstring temporary = path_ + L".tmp";
    DWORD error = writeTemporary(temporary, bytes);
    if (error == ERROR_SUCCESS) {
        error = replaceWith(temporary);
    }
    if (error != ERROR_SUCCESS) {
        DeleteFileW(temporary.c_str());
    }
    return error;
}

BOOL WholeFileWriter::flush(HANDLE file) { return FlushFileBuffers(file); }

BOOL WholeFileWriter::rename(const std::wstring& from, const std::wstring& to)
{
    return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}

DWORD WholeFileWriter::writeTemporary(const std::wstring& temporary, const std::string& bytes)
{
    UniqueHandle file = createTemporary(temporary);
    if (!file && GetLastError() == ERROR_PATH_NOT_FOUND) {
        const DWORD created = createParentDirectories(temporary);
        if (created != ERROR_SUCCESS) {
            return created;
        }
        file = createTemporary(temporary);
    }
    if (!file) {
        return GetLastError();
    }
    DWORD written = 0;
    if (!WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) {
        return GetLastError();
    }
    if (written != bytes.size()) {
        return ERROR_WRITE_FAULT;
    }
    // Without it the rename may reach the disk before the data: after a power
    // loss the name would stand for an empty file.
    if (!flush(file.get())) {
        return GetLastError();
    }
    // A file is closed before it is moved.
    file.reset();
    return ERROR_SUCCESS;
}

// Windows refuses to replace a file while a reader has it open without
// FILE_SHARE_DELETE, so the rename is tried a few times: a reader holds it
// for a moment only.
DWORD WholeFileWriter::replaceWith(const std::wstring& temporary)
{
    for (int attempt = 1;; ++attempt) {
        if (rename(temporary, path_)) {
            return ERROR_SUCCESS;
        }
        const DWORD error = GetLastError();
        if (attempt == RENAME_ATTEMPTS || (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION)) {
            return error;
        }
        Sleep(RENAME_RETRY_MILLISECONDS);
    }
}
