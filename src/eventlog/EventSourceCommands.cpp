#include "eventlog/EventSourceCommands.h"

#include <windows.h>

#include "common/UniqueResource.h"
#include "eventlog/EventLog.h"
#include "logging/ErrorText.h"
#include "logging/Logger.h"
#include "settings/Paths.h"

namespace {

const Logger addLogger(L"AddEventSourceCommand");
const Logger removeLogger(L"RemoveEventSourceCommand");

// Error, warning and information records.
const DWORD TYPES_SUPPORTED = EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE;

LSTATUS setText(HKEY key, const wchar_t* name, DWORD type, const std::wstring& text)
{
    const DWORD bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
    return RegSetValueExW(key, name, 0, type, reinterpret_cast<const BYTE*>(text.c_str()), bytes);
}

LSTATUS setNumber(HKEY key, const wchar_t* name, DWORD number)
{
    return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
}

LSTATUS writeSource(const std::wstring& path, const std::wstring& messageFile)
{
    HKEY created = nullptr;
    LSTATUS status =
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &created, nullptr);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    const UniqueRegistryKey key(created);
    status = setText(key.get(), L"EventMessageFile", REG_EXPAND_SZ, messageFile);
    return status != ERROR_SUCCESS ? status : setNumber(key.get(), L"TypesSupported", TYPES_SUPPORTED);
}

void warnNotRegistered(const std::wstring& source, const std::wstring& reason)
{
    addLogger.warn(L"Failed to register event log source \"%s\", so Event Viewer will show the service's "
                   L"records without their text: %s",
                   source, reason);
}

}  // namespace

std::wstring eventSourceKeyPath(const std::wstring& source)
{
    return L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\" + source;
}

AddEventSourceCommand::AddEventSourceCommand(const std::wstring& serviceName)
    : source_(EventLog(serviceName).sourceName())
{
}

int AddEventSourceCommand::execute()
{
    std::wstring messageFile;
    if (getModulePath(messageFile) != 0) {
        warnNotRegistered(source_, L"the path of Hostwell.exe is unknown");
        return 1;
    }
    const LSTATUS status = writeSource(eventSourceKeyPath(source_), messageFile);
    if (status != ERROR_SUCCESS) {
        warnNotRegistered(source_, errorText(static_cast<DWORD>(status)));
        return 1;
    }
    addLogger.info(L"Registered event log source \"%s\"", source_);
    return 0;
}

RemoveEventSourceCommand::RemoveEventSourceCommand(const std::wstring& serviceName)
    : source_(EventLog(serviceName).sourceName())
{
}

int RemoveEventSourceCommand::execute()
{
    const LSTATUS status = RegDeleteKeyW(HKEY_LOCAL_MACHINE, eventSourceKeyPath(source_).c_str());
    if (status == ERROR_FILE_NOT_FOUND) {
        removeLogger.debug(L"No event log source \"%s\" to remove", source_);
        return 0;
    }
    if (status != ERROR_SUCCESS) {
        removeLogger.warn(L"Failed to remove event log source \"%s\": %s", source_,
                          errorText(static_cast<DWORD>(status)));
        return 1;
    }
    removeLogger.info(L"Removed event log source \"%s\"", source_);
    return 0;
}
