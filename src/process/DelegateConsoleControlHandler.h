#pragma once

#include <windows.h>

#include "common/InstanceCount.h"
#include "logging/ThreadFailure.h"

// A console control routine has no context argument, so each of up to eight
// live instances of T gets a routine of its own that finds the instance
// through its slot. T implements `BOOL onConsoleControl(DWORD controlType)`.
template <typename T>
class DelegateConsoleControlHandler : public InstanceCount<T> {
public:
    static const int SLOTS = 8;

    // The routine of this instance, or null when its number has no slot.
    PHANDLER_ROUTINE routineFor(T* instance)
    {
        const int number = this->instanceNumber();
        if (number < 1 || number > SLOTS) {
            return nullptr;
        }
        slots()[number] = instance;
        static const PHANDLER_ROUTINE routines[SLOTS + 1] = {
            nullptr,    &routine<1>, &routine<2>, &routine<3>, &routine<4>,
            &routine<5>, &routine<6>, &routine<7>, &routine<8>,
        };
        return routines[number];
    }

private:
    static T** slots()
    {
        static T* instances[SLOTS + 1] = {};
        return instances;
    }

    template <int N>
    static BOOL WINAPI routine(DWORD controlType)
    {
        BOOL handled = TRUE;
        fenced(L"Console control handler", [&] { handled = slots()[N]->onConsoleControl(controlType); });
        return handled;
    }
};
