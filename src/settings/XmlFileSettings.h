#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "common/Command.h"

namespace rapidxml {
template <class Ch>
class xml_document;
}
using XmlDocument = rapidxml::xml_document<wchar_t>;
class TextPositions;

// Parses settings text into `document`, in place in `buffer`, which must outlive
// the document. Returns the message saying why the text is no document, with
// the line and column where the parser stopped, or an empty text when
// `document` holds it.
std::wstring parseSettingsText(const std::wstring& text, std::vector<wchar_t>& buffer, XmlDocument& document);

// Why the settings file `path` could not be read: the system's reason, or for
// ERROR_FILE_TOO_LARGE its `size` and the limit.
std::wstring settingsFileFailure(const std::wstring& path, DWORD error, long long size);

// Reads and parses a settings file; the derived reader interprets the
// document and hands its settings to a callback.
class XmlFileSettings : public Command {
public:
    explicit XmlFileSettings(std::wstring path) : path_(std::move(path)) {}

    int execute() override;

protected:
    // `positions` finds the lines of the document's names in the file.
    virtual int parseDocument(XmlDocument& document, TextPositions& positions) = 0;
    const std::wstring& path() const { return path_; }

private:
    std::wstring path_;
};
