// Locks, events and threads.
#pragma once

#include <cstdint>

namespace zor::platform {

// A non-recursive lock (critical section / pthread mutex).
class Mutex {
public:
    Mutex();
    Mutex(const Mutex&) = delete;
    Mutex& operator=(const Mutex&) = delete;
    ~Mutex();
    void lock();
    void unlock();

private:
    alignas(16) unsigned char storage[64];
};

class MutexLock {
public:
    explicit MutexLock(Mutex& m) : mutex(m) { mutex.lock(); }
    MutexLock(const MutexLock&) = delete;
    MutexLock& operator=(const MutexLock&) = delete;
    ~MutexLock() { mutex.unlock(); }

private:
    Mutex& mutex;
};

// Wait without a time limit.
constexpr uint32_t WAIT_FOREVER = 0xFFFFFFFF;

// A manual-reset event, created unsignalled.
class Event {
public:
    Event();
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;
    ~Event();
    void set();
    // True when signalled within `milliseconds` (or WAIT_FOREVER).
    bool wait(uint32_t milliseconds);

private:
    void* handle = nullptr;
};

// Starts a detached thread running routine(argument).
bool startThread(void (*routine)(void*), void* argument);
void yieldThread();
void lowerThreadPriority();

} // namespace zor::platform
