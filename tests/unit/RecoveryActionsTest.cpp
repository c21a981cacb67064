#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "common/Format.h"
#include "common/UniqueResource.h"
#include "install/CreateServiceCommand.h"
#include "install/DeleteServiceCommand.h"
#include "logging/ErrorText.h"
#include "logging/LogLevel.h"
#include "settings/SimpleSettings.h"
#include "support/LoggingCapture.h"

// Wine refuses SERVICE_CONFIG_FAILURE_ACTIONS_FLAG and
// SERVICE_CONFIG_DELAYED_AUTO_START_INFO, so a stand-in for
// ChangeServiceConfig2W records what install asks for.

namespace {

struct Recorded {
    std::vector<DWORD> infoLevels;
    std::wstring description;
    std::wstring displayName;  // of the service whose handle was passed
    BOOL nonCrashFailures = FALSE;
    BOOL delayedAutostart = FALSE;
    DWORD shutdownTime = 0;
    BOOL answer = TRUE;
};
Recorded recorded;

std::wstring displayNameOf(SC_HANDLE service)
{
    std::vector<BYTE> buffer(8192);
    DWORD needed = 0;
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
    return QueryServiceConfigW(service, config, static_cast<DWORD>(buffer.size()), &needed) ? config->lpDisplayName
                                                                                            : L"<no config>";
}

BOOL WINAPI recordChangeConfig2(SC_HANDLE service, DWORD infoLevel, LPVOID info)
{
    recorded.infoLevels.push_back(infoLevel);
    if (infoLevel == SERVICE_CONFIG_DESCRIPTION) {
        recorded.description = static_cast<SERVICE_DESCRIPTIONW*>(info)->lpDescription;
    }
    if (infoLevel == SERVICE_CONFIG_FAILURE_ACTIONS_FLAG) {
        recorded.displayName = displayNameOf(service);
        recorded.nonCrashFailures = static_cast<SERVICE_FAILURE_ACTIONS_FLAG*>(info)->fFailureActionsOnNonCrashFailures;
    } else if (infoLevel == SERVICE_CONFIG_DELAYED_AUTO_START_INFO) {
        recorded.delayedAutostart = static_cast<SERVICE_DELAYED_AUTO_START_INFO*>(info)->fDelayedAutostart;
    } else if (infoLevel == SERVICE_CONFIG_PRESHUTDOWN_INFO) {
        recorded.shutdownTime = static_cast<SERVICE_PRESHUTDOWN_INFO*>(info)->dwPreshutdownTimeout;
    }
    SetLastError(ERROR_INVALID_LEVEL);
    return recorded.answer;
}

// A service created for one run and deleted again with its event source.
class CreatedService {
public:
    explicit CreatedService(const std::wstring& name)
        : service_(name, name + L" display", L"Description", L"C:\\svc\\app.xml"),
          create_(&service_, L"\"C:\\svc\\Hostwell.exe\" hostwell")
    {
        create_.setRunAsSystem(true);
    }
    ~CreatedService() { DeleteServiceCommand(service_).execute(); }
    CreatedService(const CreatedService&) = delete;
    CreatedService& operator=(const CreatedService&) = delete;

    int create() { return CreateServiceCommand(create_, recordChangeConfig2).execute(); }
    SimpleCreateServiceSettings& settings() { return create_; }

private:
    SimpleServiceSettings service_;
    SimpleCreateServiceSettings create_;
};

}  // namespace

TEST(RecoveryActions, InstallSetsTheDescriptionAndAppliesThemToStopsWithAnErrorAndOnlyWarnsWhenWindowsRefuses)
{
    const std::wstring name = format(L"HwUnitRecovery%lu", GetCurrentProcessId());
    LoggingCapture capture(LEVEL_DEBUG);
    {
        recorded = Recorded();
        CreatedService service(name);
        ASSERT_EQ(service.create(), 0);
        EXPECT_EQ(recorded.infoLevels,
                  (std::vector<DWORD>{SERVICE_CONFIG_DESCRIPTION, SERVICE_CONFIG_PRESHUTDOWN_INFO,
                                      SERVICE_CONFIG_FAILURE_ACTIONS_FLAG}));
        EXPECT_EQ(recorded.description, L"Description");
        EXPECT_EQ(recorded.displayName, name + L" display");
        EXPECT_EQ(recorded.nonCrashFailures, TRUE);
        EXPECT_TRUE(capture.has(L"Recovery actions of service '" + name + L"' apply when it stops with an error"));
    }
    recorded = Recorded();
    recorded.answer = FALSE;
    CreatedService service(name);
    EXPECT_EQ(service.create(), 0);
    EXPECT_TRUE(capture.has(L"Failed to set the description of service '" + name + L"': " +
                            errorText(ERROR_INVALID_LEVEL)));
    EXPECT_TRUE(capture.has(L"Recovery actions of service '" + name +
                            L"' will apply only when it crashes, not when it stops with an error: " +
                            errorText(ERROR_INVALID_LEVEL)));
}

TEST(RecoveryActions, InstallAsksForADelayedStartAndTheShutdownTimeOfTheStopTimeoutAndWarnsWhenRefused)
{
    const std::wstring name = format(L"HwUnitDelayed%lu", GetCurrentProcessId());
    LoggingCapture capture(LEVEL_DEBUG);
    recorded = Recorded();
    recorded.answer = FALSE;
    CreatedService service(name);
    service.settings().setDelayedAutostart(true);
    service.settings().setStopTimeout(45000);
    ASSERT_EQ(service.create(), 0);
    EXPECT_EQ(recorded.infoLevels, (std::vector<DWORD>{SERVICE_CONFIG_DESCRIPTION, SERVICE_CONFIG_DELAYED_AUTO_START_INFO,
                                                       SERVICE_CONFIG_PRESHUTDOWN_INFO,
                                                       SERVICE_CONFIG_FAILURE_ACTIONS_FLAG}));
    EXPECT_EQ(recorded.delayedAutostart, TRUE);
    EXPECT_EQ(recorded.shutdownTime, 55000u);
    const std::wstring refused = errorText(ERROR_INVALID_LEVEL);
    EXPECT_TRUE(capture.has(L"Service '" + name + L"' will start with the other automatic services, not after them: " +
                            refused));
    EXPECT_TRUE(capture.has(L"Service '" + name + L"' has only the default 10 s to stop at shutdown, not 55s: " +
                            refused));
}
