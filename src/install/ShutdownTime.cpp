#include "install/ShutdownTime.h"

#include <algorithm>

namespace {
const long long SPARE_MILLISECONDS = 10000;
const long long LONGEST_MILLISECONDS = 600000;
}  // namespace

DWORD preshutdownTimeout(int stopTimeoutMilliseconds)
{
    const long long wanted = std::max(0LL, static_cast<long long>(stopTimeoutMilliseconds)) + SPARE_MILLISECONDS;
    return static_cast<DWORD>(std::min(wanted, LONGEST_MILLISECONDS));
}
