// Force-included into GoogleTest and the tests on Windows. GoogleTest's
// Notification (a one-shot signal between its own threads) is built on
// std::mutex and std::condition_variable, which the C++ library of the win32
// thread-model compilers does not have. GoogleTest lets a port supply the
// class instead; this one is a manual-reset event.
#pragma once

#define GTEST_HAS_NOTIFICATION_ 1

#include <windows.h>

namespace testing {
namespace internal {

class Notification {
public:
    Notification() : event_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
    ~Notification() { CloseHandle(event_); }
    Notification(const Notification&) = delete;
    Notification& operator=(const Notification&) = delete;

    void Notify() { SetEvent(event_); }
    void WaitForNotification() { WaitForSingleObject(event_, INFINITE); }

private:
    HANDLE event_;
};

}  // namespace internal
}  // namespace testing
