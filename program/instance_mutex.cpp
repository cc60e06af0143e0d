#include "instance_mutex.h"

InstanceMutex::~InstanceMutex() { Release(); }

bool InstanceMutex::Create(const char* name) {
    HANDLE existing = OpenMutexA(MUTEX_ALL_ACCESS, FALSE, name);
    if (existing) {
        CloseHandle(existing);
        return false;
    }
    handle = CreateMutexA(nullptr, FALSE, name);
    return handle != nullptr;
}

void InstanceMutex::Release() {
    if (!handle) return;
    ReleaseMutex(handle);
    CloseHandle(handle);
    handle = nullptr;
}
