#include "service/ServiceEntry.h"

#include "logging/Logger.h"
#include "logging/ThreadFailure.h"
#include "service/ServiceMain.h"

namespace {

const int SLOTS = 3;
ServiceMain* slots[SLOTS + 1];

// Of the start parameters only the first, the service's name, is used.
template <int N>
void WINAPI serviceEntry(DWORD argc, LPWSTR* argv)
{
    fenced(L"Service main", [argc, argv] {
        Logger(L"ServiceAction").debug(L"Executing HostwellMain");
        slots[N]->run(argc, argv);
    });
}

}  // namespace

LPSERVICE_MAIN_FUNCTIONW prepareServiceEntry(int instanceNumber, ServiceMain* service)
{
    static const LPSERVICE_MAIN_FUNCTIONW entries[SLOTS + 1] = {nullptr, &serviceEntry<1>, &serviceEntry<2>,
                                                                 &serviceEntry<3>};
    if (instanceNumber < 1 || instanceNumber > SLOTS) {
        return nullptr;
    }
    slots[instanceNumber] = service;
    return entries[instanceNumber];
}
