#include "CloseHandlerState.h"

struct CloseHandlerState closeHandlerState = {NULL, NULL, NULL};
