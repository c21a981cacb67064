#include "support/RollOverRecords.h"

#include <windows.h>

#include "common/Format.h"

size_t fileSize(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
    return data.nFileSizeLow;
}

RollPolicy smallFiles(int keep)
{
    RollPolicy policy;
    policy.maxSize = 65536;
    policy.keep = keep;
    return policy;
}

int writeUntilRolled(RollFileWriter& writer, const std::wstring& file, int record)
{
    const std::wstring padding(1000, L'p');
    for (size_t previous = 0;; ++record) {
        writer.write(L"P ", format(L"record %d %s", record, padding));
        const size_t size = fileSize(file);
        if (size < previous) {
            writer.waitForBackups();
            return record + 1;
        }
        previous = size;
    }
}

int firstRecordNumber(const std::string& content)
{
    const size_t at = content.find("record ");
    return at == std::string::npos ? -1 : std::stoi(content.substr(at + 7));
}
