#pragma once

#include <string>

// A fresh folder under the system's temporary folder, removed with its content.
class TemporaryDirectory {
public:
    TemporaryDirectory();
    ~TemporaryDirectory();
    TemporaryDirectory(const TemporaryDirectory&) = delete;
    TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;

    const std::wstring& path() const { return path_; }
    std::wstring file(const std::wstring& relative) const { return path_ + L"\\" + relative; }

private:
    std::wstring path_;
};

void writeBytes(const std::wstring& path, const std::string& bytes);
void writeUtf8(const std::wstring& path, const std::wstring& text);
std::string readBytes(const std::wstring& path);
std::wstring readUtf8(const std::wstring& path);  // a byte-order mark is dropped
bool fileExists(const std::wstring& path);
bool directoryExists(const std::wstring& path);
void removeTree(const std::wstring& path);
