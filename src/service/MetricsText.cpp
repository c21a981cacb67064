#include "service/MetricsText.h"

#include "commandline/Version.h"
#include "service/ProgramSnapshot.h"

namespace {

// A label value with the escapes the text format asks for.
std::wstring labelValue(const std::wstring& text)
{
    std::wstring escaped;
    for (const wchar_t c : text) {
        if (c == L'\\' || c == L'"') {
            escaped += L'\\';
            escaped += c;
        } else if (c == L'\n') {
            escaped += L"\\n";
        } else {
            escaped += c;
        }
    }
    return escaped;
}

class Families {
public:
    explicit Families(const std::wstring& service) : labels_(L"service=\"" + labelValue(service) + L"\"") {}

    void add(const wchar_t* name, const wchar_t* type, const wchar_t* help, const std::wstring& value,
             const std::wstring& moreLabels = std::wstring())
    {
        text_ += std::wstring(L"# HELP ") + name + L" " + help + L"\n";
        text_ += std::wstring(L"# TYPE ") + name + L" " + type + L"\n";
        text_ += std::wstring(name) + L"{" + labels_ + moreLabels + L"} " + value + L"\n";
    }

    const std::wstring& text() const { return text_; }

private:
    std::wstring labels_;
    std::wstring text_;
};

std::wstring flag(bool value) { return value ? L"1" : L"0"; }

void addProgramFamilies(Families& families, const ProgramSnapshot& program)
{
    // Until the health check has a verdict there is nothing to say.
    if (program.health == L"healthy" || program.health == L"failing" || program.health == L"unhealthy") {
        families.add(L"hostwell_health", L"gauge", L"1 while the health check passes, 0 while it fails.",
                     flag(program.health == L"healthy"));
    }
    families.add(L"hostwell_restarts_total", L"counter", L"Restarts of the program since the service started.",
                 std::to_wstring(program.restartsTotal));
    families.add(L"hostwell_recycles_total", L"counter", L"Planned restarts of the program since the service started.",
                 std::to_wstring(program.recycles));
    if (program.lastExitCode) {
        families.add(L"hostwell_last_exit_code", L"gauge", L"The exit code of the program's last run.",
                     std::to_wstring(*program.lastExitCode));
    }
    if (const std::optional<long long> started = unixSeconds(program.startedAt)) {
        families.add(L"hostwell_program_start_time_seconds", L"gauge",
                     L"When the program was last started, in seconds since 1970-01-01 UTC.", std::to_wstring(*started));
    }
    families.add(L"hostwell_log_records_lost_total", L"counter",
                 L"Records of the service's logs that could not be written since the service started.",
                 std::to_wstring(program.logRecordsLost));
}

}  // namespace

std::wstring prometheusText(const std::wstring& service, bool ready, const ProgramSnapshot* program)
{
    // The HELP texts name no service: a collector that reads the files of
    // several services merges families only when these are the same.
    Families families(service);
    if (program != nullptr) {
        families.add(L"hostwell_up", L"gauge", L"1 while the service's program runs.",
                     flag(program->processId.has_value()));
    }
    families.add(L"hostwell_ready", L"gauge", L"1 while the service counts as running.", flag(ready));
    if (program != nullptr) {
        addProgramFamilies(families, *program);
    }
    families.add(L"hostwell_info", L"gauge", L"The version of Hostwell that runs the service.", L"1",
                 L",version=\"" + labelValue(versionText()) + L"\"");
    return families.text();
}
