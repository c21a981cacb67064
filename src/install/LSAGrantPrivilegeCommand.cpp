#include "install/LSAGrantPrivilegeCommand.h"

#include "logging/Logger.h"
#include "settings/SettingsInterfaces.h"

namespace {

const Logger logger(L"LSAGrantPrivilegeCommand");

// LSA_UNICODE_STRING points at a writable buffer without owning it.
class LsaRightName {
public:
    explicit LsaRightName(const wchar_t* name) : text_(name)
    {
        value_.Buffer = &text_[0];
        value_.Length = static_cast<USHORT>(text_.size() * sizeof(wchar_t));
        value_.MaximumLength = static_cast<USHORT>(value_.Length + sizeof(wchar_t));
    }
    LsaRightName(const LsaRightName&) = delete;
    LsaRightName& operator=(const LsaRightName&) = delete;

    LSA_UNICODE_STRING* get() { return &value_; }

private:
    std::wstring text_;
    LSA_UNICODE_STRING value_;
};

}  // namespace

FailureMessage accountRightFailure(const std::wstring& text, NTSTATUS status)
{
    switch (LsaNtStatusToWinError(status)) {
    case ERROR_NO_SUCH_PRIVILEGE: return {LEVEL_ERROR, format(L"%s No such privelege", text)};
    case ERROR_ACCESS_DENIED: return {LEVEL_ERROR, format(L"%s Access denied", text)};
    default: return {LEVEL_ERROR, format(L"%s NTSTATUS=%lx", text, static_cast<unsigned long>(status))};
    }
}

LSAGrantPrivilegeCommand::LSAGrantPrivilegeCommand(const UserSettings& userSettings)
    : LSAUserCommand(POLICY_RIGHTS_CHANGE_PRIVILEGES, userSettings)
{
}

int LSAGrantPrivilegeCommand::executeWithSid(LSA_HANDLE policy, PSID sid)
{
    logger.debug(L"Start changing user previleges");
    LsaRightName logonAsService(L"SeServiceLogonRight");
    NTSTATUS status = LsaAddAccountRights(policy, sid, logonAsService.get(), 1);
    logger.debug(L"Called LsaAddAccountRights");
    if (status != 0) {
        const FailureMessage failure = accountRightFailure(L"Failed to add account privilege.", status);
        logger.log(failure.level, failure.text);
        return 1;
    }
    logger.debug(L"Added previleges");

    LsaRightName denyLogonAsService(L"SeDenyServiceLogonRight");
    status = LsaRemoveAccountRights(policy, sid, FALSE, denyLogonAsService.get(), 1);
    if (status != 0) {
        const FailureMessage failure = accountRightFailure(L"Failed to remove account privilege.", status);
        logger.log(failure.level, failure.text);
        return 1;
    }
    logger.debug(L"Removed deny previleges");
    logger.info(L"User %s\\%s was given 'Logon as Service' privilege", userSettings().getDomain(),
                userSettings().getUser());
    return 0;
}
