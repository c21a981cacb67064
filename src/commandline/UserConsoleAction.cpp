#include "commandline/UserConsoleAction.h"

#include "settings/SimpleSettings.h"

int UserConsoleAction::execute(const Argz& arguments)
{
    SimpleUserSettings settings;
    if (parseUserSettings(arguments, settings) != 0) {
        return 1;
    }
    return ExecuteUserAction(arguments, settings);
}
