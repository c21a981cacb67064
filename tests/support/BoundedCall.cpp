#include "support/BoundedCall.h"

#include <gtest/gtest.h>

#include <stdio.h>

#include "common/UniqueResource.h"

namespace {

DWORD WINAPI runCall(LPVOID parameter)
{
    (*static_cast<const std::function<void()>*>(parameter))();
    return 0;
}

}  // namespace

void callWithin(DWORD seconds, const std::string& what, const std::function<void()>& call)
{
    UniqueHandle thread(CreateThread(nullptr, 0, runCall, const_cast<std::function<void()>*>(&call), 0, nullptr));
    ASSERT_TRUE(thread) << "Failed to start a thread for " << what << ": " << GetLastError();
    if (WaitForSingleObject(thread.get(), seconds * 1000) == WAIT_OBJECT_0) {
        return;
    }
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    printf("[  FAILED  ] %s.%s: %s did not return within %lu s\n", test != nullptr ? test->test_suite_name() : "",
           test != nullptr ? test->name() : "", what.c_str(), static_cast<unsigned long>(seconds));
    fflush(stdout);
    TerminateProcess(GetCurrentProcess(), 3);
}
