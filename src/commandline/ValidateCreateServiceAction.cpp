#include "commandline/ValidateCreateServiceAction.h"

#include "commandline/ArgumentKeys.h"
#include "commandline/Argz.h"
#include "commandline/ConsoleWriter.h"
#include "install/ServiceAccountKind.h"
#include "logging/Logger.h"
#include "security/TrustedAccounts.h"
#include "security/WriteAccessCheck.h"
#include "settings/SettingsInterfaces.h"

namespace {

const Logger logger(L"ValidateCreateServiceAction");

const wchar_t* boolText(bool value) { return value ? L"true" : L"false"; }

}  // namespace

ValidateCreateServiceAction::ValidateCreateServiceAction() : CreateServiceSettingsAction(L"validate-create-settings") {}

void ValidateCreateServiceAction::printUsage(ConsoleWriter& writer)
{
    if (!logger.isEnabled(LEVEL_DEBUG)) {
        return;
    }
    writer.writeFormatted(L"    %s /%s=<path to settings file>", name(), KEY_SETTINGS);
    writer.writeLine(L"      verifies create service command");
    writer.writeEmptyLine();
}

int ValidateCreateServiceAction::ExecuteCreateAction(const Argz&, const CreateServiceSettings& createSettings,
                                                     const ServiceTaskSettings& taskSettings)
{
    logger.info(L"[j]: ServiceName:%s!~", createSettings.getServiceName());
    logger.info(L"[j]: ServiceDisplayName:%s!~", createSettings.getServiceDisplayName());
    logger.info(L"[j]: ServiceDescription:%s!~", createSettings.getServiceDescription());
    logger.info(L"[j]: IsAutostart:%s!~", boolText(createSettings.isAutostart()));
    logger.info(L"[j]: RunAsService:%s!~", boolText(createSettings.isRunAsSystem()));
    if (!createSettings.isRunAsSystem()) {
        logger.info(L"[j]: AccountKind:%s!~", serviceAccountKindName(serviceAccountKind(createSettings)));
        logger.info(L"[j]: UserName:%s!~", createSettings.getUser());
        logger.info(L"[j]: Domain:%s!~", createSettings.getDomain());
        logger.info(L"[j]: Password:%s!~", createSettings.getPassword());
    }
    for (const std::wstring& dependency : createSettings.getDependencies()) {
        logger.info(L"[j]: Dependency:%s!~", dependency);
    }
    logger.info(L"[e]: Program:%s!~", taskSettings.getProgram());
    logger.info(L"[e]: Arguments:%s!~", taskSettings.getArguments());
    logger.info(L"[e]: WorkDir:%s!~", taskSettings.getWorkDir());
    const std::wstring account = createSettings.isRunAsSystem() ? L"" : lookupAccountName(createSettings);
    acceptWritableFiles(findWritableFiles(taskSettings, L"", TrustedAccounts::forInstall(account)), true);
    return 0;
}
