#pragma once

#include <string>

// Reports a command whose implementation has not landed yet; never succeeds.
int reportCommandNotAvailable(const std::wstring& name);
