#include "support/ServiceTestCase.h"

#include "common/TextConversion.h"
#include "support/ProcessRunner.h"
#include "support/TestService.h"

ServiceTestCase::ServiceTestCase() : name(TestService::uniqueName(L"HwService")) {}

void ServiceTestCase::writeSettings(const std::wstring& arguments, const std::wstring& extraExecution,
                                    const std::wstring& level)
{
    writeUtf8(settings, L"<hostwell><name>" + name + L"</name><description>d</description>"
                        L"<service-logging level='" + level + L"' file='logs\\service.log'/>"
                        L"<execution><program>" + helperPath(L"hwtestprog.exe") + L"</program><arguments>" +
                            arguments + L"</arguments>" + extraExecution + L"</execution></hostwell>");
}

std::wstring ServiceTestCase::hostwellArguments() const { return L"hostwell \"/settings=" + settings + L"\""; }

std::wstring ServiceTestCase::stopCommand(const std::wstring& arguments, const std::wstring& timeout) const
{
    return L"<termination timeout='" + timeout + L"'><execution><program>" + helperPath(L"hwtestprog.exe") +
           L"</program><arguments>" + arguments + L"</arguments></execution></termination>";
}

bool ServiceTestCase::logHas(const std::wstring& text) const
{
    return retainedLog().find(text) != std::wstring::npos;
}

void ServiceTestCase::waitForLogLine(const std::wstring& text) const
{
    for (int i = 0; i < 1500 && !logHas(text); ++i) {
        Sleep(20);
    }
    EXPECT_TRUE(logHas(text)) << "the log did not get \"" << toUtf8(text) << "\" within 30 s";
}

std::wstring ServiceTestCase::retainedLog() const
{
    return readUtf8(log + L".3") + readUtf8(log + L".2") + readUtf8(log + L".1") + readUtf8(log);
}

void ServiceTestCase::waitForFile(const std::wstring& path, int seconds)
{
    for (int i = 0; i < seconds * 50 && !fileExists(path); ++i) {
        Sleep(20);
    }
    EXPECT_TRUE(fileExists(path)) << "the file " << toUtf8(path) << " did not appear within " << seconds << " s";
}

DWORD ServiceTestCase::readProcessId(const std::wstring& path)
{
    waitForFile(path);
    Sleep(20);
    const std::string text = readBytes(path);
    return text.empty() ? 0 : static_cast<DWORD>(std::stoul(text));
}
