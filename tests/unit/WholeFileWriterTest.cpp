#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "common/WholeFileWriter.h"
#include "support/TestFiles.h"

namespace {

// Records the steps and what the files hold when the rename comes.
class StepRecorder : public WholeFileWriter {
public:
    using WholeFileWriter::WholeFileWriter;
    std::vector<std::string> steps;
    std::string renamedContent;
    bool flushFails = false;
    DWORD renameError = ERROR_SUCCESS;

protected:
    BOOL flush(HANDLE file) override
    {
        steps.push_back("flush");
        if (flushFails) {
            SetLastError(ERROR_IO_DEVICE);
            return FALSE;
        }
        return WholeFileWriter::flush(file);
    }
    BOOL rename(const std::wstring& from, const std::wstring& to) override
    {
        steps.push_back("rename");
        renamedContent = readBytes(from);
        if (renameError != ERROR_SUCCESS) {
            SetLastError(renameError);
            return FALSE;
        }
        return WholeFileWriter::rename(from, to);
    }
};

}  // namespace

TEST(WholeFileWriter, FlushesTheWholeNewFileBeforeItsRenameAndKeepsTheOldOneWhenAStepFails)
{
    TemporaryDirectory dir;
    const std::wstring file = dir.file(L"metrics\\service.prom");
    StepRecorder writer(file);
    // The folder is created when missing.
    EXPECT_EQ(writer.write("one\n"), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(writer.steps, (std::vector<std::string>{"flush", "rename"}));
    EXPECT_EQ(writer.renamedContent, "one\n");
    EXPECT_EQ(readBytes(file), "one\n");
    EXPECT_FALSE(fileExists(file + L".tmp"));

    // Data that may not have reached the disk never takes the name.
    writer.steps.clear();
    writer.flushFails = true;
    EXPECT_EQ(writer.write("two\n"), static_cast<DWORD>(ERROR_IO_DEVICE));
    EXPECT_EQ(writer.steps, (std::vector<std::string>{"flush"}));
    EXPECT_EQ(readBytes(file), "one\n");
    EXPECT_FALSE(fileExists(file + L".tmp"));

    // A reader that keeps the file open is waited for a few times, then given up on.
    writer.steps.clear();
    writer.flushFails = false;
    writer.renameError = ERROR_SHARING_VIOLATION;
    EXPECT_EQ(writer.write("three\n"), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(writer.steps, (std::vector<std::string>{"flush", "rename", "rename", "rename", "rename", "rename"}));
    EXPECT_EQ(readBytes(file), "one\n");
    EXPECT_FALSE(fileExists(file + L".tmp"));

    writer.renameError = ERROR_SUCCESS;
    EXPECT_EQ(writer.write("four\n"), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(readBytes(file), "four\n");
}
