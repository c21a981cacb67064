#include "service/ServiceEntry.h"

#include "logging/Logger.h"
#include "service/ServiceMain.h"

namespace {

struct ServiceEntrySlot {
    ServiceAction* action = nullptr;
    const Argz* arguments = nullptr;
    const ServiceSettings* settings = nullptr;
};

const int SLOTS = 3;
ServiceEntrySlot slots[SLOTS + 1];

// The start parameters that the service control manager passes are not used.
template <int N>
void WINAPI serviceEntry(DWORD, LPWSTR*)
{
    Logger(L"ServiceAction").debug(L"Executing HostwellMain");
    ServiceMain service(slots[N].settings);
    service.run();
}

}  // namespace

LPSERVICE_MAIN_FUNCTIONW prepareServiceEntry(int instanceNumber, ServiceAction* action, const Argz* arguments,
                                             const ServiceSettings* settings)
{
    static const LPSERVICE_MAIN_FUNCTIONW entries[SLOTS + 1] = {nullptr, &serviceEntry<1>, &serviceEntry<2>,
                                                                 &serviceEntry<3>};
    if (instanceNumber < 1 || instanceNumber > SLOTS) {
        return nullptr;
    }
    slots[instanceNumber] = {action, arguments, settings};
    return entries[instanceNumber];
}
