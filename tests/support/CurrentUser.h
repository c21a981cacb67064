#pragma once

#include <string>

// The name of the account the tests run under.
std::wstring currentUserName();
