#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The default event source, and the one name whose records carry the banner
// without a name in front.
constexpr const wchar_t* PRODUCT_WORD = L"Hostwell";

// Writes records to the Windows Event Log: messages in one fixed shape
// (event id 404, category 4, five insertion strings framed by separator
// lines), and records of other ids with strings of their own. Holds no handle
// between records.
class EventLog {
public:
    // The event type of a record.
    class Severity {
    public:
        explicit Severity(WORD type) : type_(type) {}
        virtual ~Severity() = default;

        WORD type() const { return type_; }

    private:
        WORD type_;
    };

    static const Severity Success;
    static const Severity Error;
    static const Severity Warning;
    static const Severity Info;

    explicit EventLog(std::wstring name) : name_(std::move(name)) {}
    virtual ~EventLog() = default;

    // A failure to write is logged, never thrown.
    void Write(const Severity& severity, const std::wstring& message) const;

    // A record of id `eventId`, without a category, with these strings after
    // the name; every "%" of theirs becomes "_" as in Write.
    void WriteRecord(WORD type, DWORD eventId, const std::vector<std::wstring>& strings) const;

    std::wstring sourceName() const;
    // Separator, banner, the executable's path, the message, separator.
    std::vector<std::wstring> insertionStrings(const std::wstring& message) const;

protected:
    // Opens the source (or else "Application"), reports the record, closes.
    virtual void report(WORD type, WORD category, DWORD eventId, const std::vector<std::wstring>& strings) const;

private:
    std::wstring name_;
};

// The severity that a lower-case name stands for ("success", "warn", "info",
// "error"); null for any other name.
const EventLog::Severity* severityNamed(const std::wstring& lowerCaseName);
