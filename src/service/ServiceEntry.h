#pragma once

#include <windows.h>

class ServiceMain;

// The service control manager passes a service main function no context, so
// each of three ServiceAction instances has an entry function of its own that
// finds its service run in its slot. Null for an instance without slot.
LPSERVICE_MAIN_FUNCTIONW prepareServiceEntry(int instanceNumber, ServiceMain* service);
