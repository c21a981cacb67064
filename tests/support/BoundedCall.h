#pragma once

#include <windows.h>

#include <functional>
#include <string>

// Runs `call` on a thread of its own and waits at most `seconds` for it to
// return. A call still running then has hung: the test program names the call
// and ends at once, as the thread still uses the test's objects and no later
// test could run beside it.
void callWithin(DWORD seconds, const std::string& what, const std::function<void()>& call);

// The same for a call with a result.
template <typename Call>
auto resultWithin(DWORD seconds, const std::string& what, Call call) -> decltype(call())
{
    decltype(call()) result{};
    callWithin(seconds, what, [&] { result = call(); });
    return result;
}
