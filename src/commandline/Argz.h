#pragma once

#include <string>
#include <vector>

// The program's command line: the executable's file name and the arguments in
// command-line order. Never changed once built; rewriting makes a new object.
class Argz {
public:
    Argz(int argc, const wchar_t* const* argv);
    // A copy without the first `dropped` arguments.
    Argz(const Argz& source, int dropped);
    // A copy with `first` put in front of the source's arguments.
    Argz(const std::wstring& first, const Argz& source);
    virtual ~Argz() = default;

    int count() const { return static_cast<int>(arguments_.size()); }
    std::wstring arg(int index) const;
    const std::wstring& executableName() const { return executableName_; }

    bool hasFlag(const std::wstring& flag) const;
    bool getValue(const std::wstring& key, std::wstring& out) const;
    bool getBool(const std::wstring& key, bool defaultValue) const;

    bool isDebug() const;
    bool isDebugService() const;
    bool getLogFileArgument(std::wstring& out) const;

private:
    std::wstring executableName_;
    std::vector<std::wstring> arguments_;
};

std::wstring makeArgument(const std::wstring& key, const std::wstring& value);
std::wstring makeBoolArgument(const std::wstring& key, bool value);

// The file-name part of a program path; the last "\" or "/" separates it.
std::wstring executableNameOf(const std::wstring& programPath);
