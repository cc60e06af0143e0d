// The named mutex that keeps a second copy of the program from running.
#pragma once

#include <windows.h>

class InstanceMutex {
public:
    InstanceMutex() = default;
    virtual ~InstanceMutex();
    InstanceMutex(const InstanceMutex&) = delete;
    InstanceMutex& operator=(const InstanceMutex&) = delete;

    // Fails when a mutex of that name exists already.
    bool Create(const char* name);
    void Release();

    HANDLE handle = nullptr;
};
