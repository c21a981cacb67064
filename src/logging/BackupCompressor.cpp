#include "logging/BackupCompressor.h"

#include <zlib.h>

#include <vector>

#include "common/Format.h"
#include "common/UniqueResource.h"
#include "common/WriteAll.h"
#include "logging/ErrorText.h"
#include "logging/LogFileOperations.h"

namespace {

const size_t CHUNK = 65536;
// zlib's window bits plus 16: a gzip header and trailer instead of zlib's own.
const int GZIP_WINDOW_BITS = 15 + 16;

class Deflater {
public:
    Deflater() : ok_(deflateInit2(&stream_, Z_DEFAULT_COMPRESSION, Z_DEFLATED, GZIP_WINDOW_BITS, 8,
                                  Z_DEFAULT_STRATEGY) == Z_OK) {}
    ~Deflater()
    {
        if (ok_) {
            deflateEnd(&stream_);
        }
    }
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;

    bool ok() const { return ok_; }

    // Compresses `size` bytes (the last call with `finish`) into `target`.
    bool put(unsigned char* data, size_t size, bool finish, HANDLE target)
    {
        std::vector<unsigned char> out(CHUNK);
        stream_.next_in = data;
        stream_.avail_in = static_cast<uInt>(size);
        int status = Z_OK;
        do {
            stream_.next_out = out.data();
            stream_.avail_out = static_cast<uInt>(out.size());
            status = deflate(&stream_, finish ? Z_FINISH : Z_NO_FLUSH);
            if (status == Z_STREAM_ERROR) {
                SetLastError(ERROR_INVALID_DATA);
                return false;
            }
            if (!writeAll(target, out.data(), out.size() - stream_.avail_out)) {
                return false;
            }
        } while (stream_.avail_out == 0 || (finish && status != Z_STREAM_END));
        return true;
    }

private:
    z_stream stream_ = {};
    bool ok_;
};

// Writes `source` gzip-compressed (RFC 1952) into the open `target`;
// ERROR_SUCCESS or the Windows error of the read or write that failed.
DWORD compressFile(const std::wstring& source, HANDLE target)
{
    // Others may go on reading the backup while it is compressed.
    UniqueHandle input(CreateFileW(source.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!input) {
        return GetLastError();
    }
    Deflater deflater;
    if (!deflater.ok()) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    std::vector<unsigned char> buffer(CHUNK);
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(input.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr)) {
            return GetLastError();
        }
        if (!deflater.put(buffer.data(), read, read == 0, target)) {
            return GetLastError();
        }
        if (read == 0) {
            return ERROR_SUCCESS;
        }
    }
}

}  // namespace

// Whatever fails, the plain backup stays, and a half-written one is removed.
bool BackupCompressor::compress(const std::wstring& backup, std::wstring& failure)
{
    const std::wstring compressed = backup + L".gz";
    const std::wstring partial = compressed + L".tmp";
    DWORD error = compressInto(backup, partial);
    if (error == ERROR_SUCCESS && !files_.move(partial, compressed)) {
        error = GetLastError();
    }
    if (error != ERROR_SUCCESS) {
        files_.remove(partial);
        failure = format(L"Failed to compress log backup %s, it stays as it is: %s", backup, errorText(error));
        return false;
    }
    files_.remove(backup);
    return true;
}

DWORD BackupCompressor::compressInto(const std::wstring& source, const std::wstring& target)
{
    // Others, such as a virus scanner, may read it as it is written.
    UniqueHandle output(CreateFileW(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!output) {
        return GetLastError();
    }
    const DWORD error = compressFile(source, output.get());
    if (error != ERROR_SUCCESS) {
        return error;
    }
    // On the disk before the name says it is complete.
    return files_.flush(output.get(), target) ? ERROR_SUCCESS : GetLastError();
}
