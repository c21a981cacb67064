#include "logging/BackupCompressor.h"

#include <zlib.h>

#include <vector>

#include "common/Format.h"
#include "logging/ErrorText.h"
#include "logging/ThreadFailure.h"

namespace {

const size_t CHUNK = 65536;
// zlib's window bits plus 16: a gzip header and trailer instead of zlib's own.
const int GZIP_WINDOW_BITS = 15 + 16;

bool writeAll(HANDLE file, const unsigned char* data, size_t size)
{
    while (size > 0) {
        DWORD written = 0;
        if (!WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr) || written == 0) {
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

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

}  // namespace

DWORD compressFile(const std::wstring& source, const std::wstring& target)
{
    // Others may go on reading the backup while it is compressed.
    UniqueHandle input(CreateFileW(source.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!input) {
        return GetLastError();
    }
    UniqueHandle output(
        CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!output) {
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
        if (!deflater.put(buffer.data(), read, read == 0, output.get())) {
            return GetLastError();
        }
        if (read == 0) {
            return ERROR_SUCCESS;
        }
    }
}

void BackupCompressor::start(const std::wstring& file)
{
    wait();
    file_ = file;
    busy_ = true;
    thread_.reset(CreateThread(nullptr, 0, threadMain, this, 0, nullptr));
    if (!thread_) {
        run();
    }
}

std::wstring BackupCompressor::takeFailure()
{
    if (busy_) {
        return std::wstring();
    }
    std::wstring failure;
    failure.swap(failure_);
    return failure;
}

void BackupCompressor::wait()
{
    if (thread_) {
        WaitForSingleObject(thread_.get(), INFINITE);
        thread_.reset();
    }
}

DWORD WINAPI BackupCompressor::threadMain(LPVOID parameter)
{
    auto* compressor = static_cast<BackupCompressor*>(parameter);
    const bool ran = fenced(L"Log backup compression", [compressor] { compressor->run(); });
    if (!ran) {
        compressor->busy_ = false;
    }
    return ran ? 0 : 1;
}

// Whatever fails, the plain backup stays, and a half-written one is removed.
void BackupCompressor::run()
{
    const std::wstring compressed = file_ + L".gz";
    const std::wstring partial = compressed + L".tmp";
    DWORD error = compressFile(file_, partial);
    if (error == ERROR_SUCCESS && !MoveFileExW(partial.c_str(), compressed.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        error = GetLastError();
    }
    if (error != ERROR_SUCCESS) {
        DeleteFileW(partial.c_str());
        failure_ = format(L"Failed to compress log backup %s, it stays as it is: %s", file_, errorText(error));
    } else {
        DeleteFileW(file_.c_str());
    }
    // The writer reads failure_ only after it sees this.
    busy_ = false;
}
