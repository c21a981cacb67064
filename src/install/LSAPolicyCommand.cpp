#include "install/LSAPolicyCommand.h"

#include "common/UniqueResource.h"
#include "logging/Logger.h"

namespace {
const Logger logger(L"LSAPolicyCommand");
}

FailureMessage policyOpenFailure(const std::wstring& text, NTSTATUS status)
{
    if (LsaNtStatusToWinError(status) == ERROR_ACCESS_DENIED) {
        return {LEVEL_ERROR, format(L"%s Access denied", text)};
    }
    return {LEVEL_ERROR, format(L"%s. Error code %ld", text, static_cast<long>(status))};
}

LSAPolicyCommand::LSAPolicyCommand(const PolicyRights& policyRights, const UserSettings& userSettings)
    : policyRights_(policyRights), userSettings_(userSettings)
{
}

int LSAPolicyCommand::execute()
{
    logger.debug(L"Opening LSAPolicy with %s right", policyRights_.name);
    LSA_OBJECT_ATTRIBUTES attributes = {};
    attributes.Length = sizeof attributes;
    LSA_HANDLE opened = nullptr;
    const NTSTATUS status = LsaOpenPolicy(nullptr, &attributes, policyRights_.value, &opened);
    logger.debug(L"LsaOpenPolicy called");
    if (status != 0) {
        const FailureMessage failure =
            policyOpenFailure(format(L"Failed to open LSAPolicy with %s right.", policyRights_.name), status);
        logger.log(failure.level, failure.text);
        return 1;
    }
    const UniqueLsaHandle policy(opened);
    logger.debug(L"Opened LSA policy");
    return executeWithPolicy(policy.get());
}
