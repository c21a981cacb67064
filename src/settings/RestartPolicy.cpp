#include "settings/RestartPolicy.h"

namespace {

const struct {
    RestartWhen when;
    const wchar_t* name;
} NAMES[] = {
    {RestartWhen::Never, L"never"},
    {RestartWhen::Failure, L"failure"},
    {RestartWhen::Always, L"always"},
};

}  // namespace

const wchar_t* restartWhenName(RestartWhen when)
{
    for (const auto& entry : NAMES) {
        if (entry.when == when) {
            return entry.name;
        }
    }
    return L"never";
}

bool restartWhenNamed(const std::wstring& name, RestartWhen& when)
{
    for (const auto& entry : NAMES) {
        if (name == entry.name) {
            when = entry.when;
            return true;
        }
    }
    return false;
}
