#pragma once

#include <windows.h>

class Argz;
class ServiceAction;
class ServiceSettings;

// The service control manager passes a service main function no context, so
// each of three ServiceAction instances has an entry function of its own that
// finds the action's settings in its slot. Null for an instance without slot.
LPSERVICE_MAIN_FUNCTIONW prepareServiceEntry(int instanceNumber, ServiceAction* action, const Argz* arguments,
                                             const ServiceSettings* settings);
