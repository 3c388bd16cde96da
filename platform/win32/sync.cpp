// Critical sections, events and CRT threads.
#include "platform/sync.h"

#include <new>
#include <process.h>
#include <windows.h>

namespace zor::platform {

static_assert(sizeof(CRITICAL_SECTION) <= 64 && alignof(CRITICAL_SECTION) <= 16,
              "Mutex storage too small");

namespace {

CRITICAL_SECTION* native(unsigned char* storage) {
    return std::launder(reinterpret_cast<CRITICAL_SECTION*>(storage));
}

} // namespace

Mutex::Mutex() {
    InitializeCriticalSection(new (storage) CRITICAL_SECTION);
}
Mutex::~Mutex() {
    DeleteCriticalSection(native(storage));
}
void Mutex::lock() {
    EnterCriticalSection(native(storage));
}
void Mutex::unlock() {
    LeaveCriticalSection(native(storage));
}

Event::Event() {
    handle = CreateEventA(nullptr, TRUE, FALSE, nullptr);
}

Event::~Event() {
    if (handle)
        CloseHandle(handle);
}

void Event::set() {
    if (handle)
        SetEvent(handle);
}

bool Event::wait(uint32_t milliseconds) {
    static_assert(WAIT_FOREVER == INFINITE, "WAIT_FOREVER must be INFINITE");
    return handle && WaitForSingleObject(handle, milliseconds) == WAIT_OBJECT_0;
}

namespace {

struct ThreadStart {
    void (*routine)(void*);
    void* argument;
};

unsigned __stdcall threadMain(void* start) {
    ThreadStart call = *static_cast<ThreadStart*>(start);
    delete static_cast<ThreadStart*>(start);
    call.routine(call.argument);
    return 0;
}

} // namespace

// The C runtime's thread start, so that the runtime's per-thread state is set up.
bool startThread(void (*routine)(void*), void* argument) {
    ThreadStart* start = new ThreadStart{routine, argument};
    uintptr_t thread = _beginthreadex(nullptr, 0, threadMain, start, 0, nullptr);
    if (thread == 0) {
        delete start;
        return false;
    }
    CloseHandle(reinterpret_cast<HANDLE>(thread));
    return true;
}

void yieldThread() {
    Sleep(0);
}

void lowerThreadPriority() {
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_LOWEST);
}

} // namespace zor::platform
