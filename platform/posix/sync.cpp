// Locks, events and threads with pthreads.
#include "platform/sync.h"

#include <cerrno>
#include <ctime>
#include <new>
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace zor::platform {

static_assert(sizeof(pthread_mutex_t) <= 64 && alignof(pthread_mutex_t) <= 16,
              "Mutex storage too small");

namespace {

pthread_mutex_t* native(unsigned char* storage) {
    return std::launder(reinterpret_cast<pthread_mutex_t*>(storage));
}

// A manual-reset event: the flag stays set until the event goes away.
struct EventState {
    pthread_mutex_t mutex;
    pthread_cond_t signalled;
    bool set = false;
};

} // namespace

Mutex::Mutex() {
    pthread_mutex_init(new (storage) pthread_mutex_t, nullptr);
}
Mutex::~Mutex() {
    pthread_mutex_destroy(native(storage));
}
void Mutex::lock() {
    pthread_mutex_lock(native(storage));
}
void Mutex::unlock() {
    pthread_mutex_unlock(native(storage));
}

Event::Event() {
    EventState* state = new EventState;
    pthread_mutex_init(&state->mutex, nullptr);
    // Waits are measured on the monotonic clock, so that a change of the wall clock neither
    // cuts them short nor stretches them.
    pthread_condattr_t attributes;
    pthread_condattr_init(&attributes);
    pthread_condattr_setclock(&attributes, CLOCK_MONOTONIC);
    pthread_cond_init(&state->signalled, &attributes);
    pthread_condattr_destroy(&attributes);
    handle = state;
}

Event::~Event() {
    EventState* state = static_cast<EventState*>(handle);
    pthread_cond_destroy(&state->signalled);
    pthread_mutex_destroy(&state->mutex);
    delete state;
}

void Event::set() {
    EventState* state = static_cast<EventState*>(handle);
    pthread_mutex_lock(&state->mutex);
    state->set = true;
    pthread_cond_broadcast(&state->signalled);
    pthread_mutex_unlock(&state->mutex);
}

bool Event::wait(uint32_t milliseconds) {
    EventState* state = static_cast<EventState*>(handle);
    timespec deadline;
    clock_gettime(CLOCK_MONOTONIC, &deadline);
    deadline.tv_sec += milliseconds / 1000;
    deadline.tv_nsec += static_cast<long>(milliseconds % 1000) * 1000000L;
    if (deadline.tv_nsec >= 1000000000L) {
        deadline.tv_sec += 1;
        deadline.tv_nsec -= 1000000000L;
    }
    pthread_mutex_lock(&state->mutex);
    while (!state->set) {
        int result = milliseconds == WAIT_FOREVER
                         ? pthread_cond_wait(&state->signalled, &state->mutex)
                         : pthread_cond_timedwait(&state->signalled, &state->mutex, &deadline);
        if (result == ETIMEDOUT)
            break;
    }
    bool signalled = state->set;
    pthread_mutex_unlock(&state->mutex);
    return signalled;
}

namespace {

struct ThreadStart {
    void (*routine)(void*);
    void* argument;
};

void* threadMain(void* start) {
    ThreadStart call = *static_cast<ThreadStart*>(start);
    delete static_cast<ThreadStart*>(start);
    call.routine(call.argument);
    return nullptr;
}

} // namespace

bool startThread(void (*routine)(void*), void* argument) {
    ThreadStart* start = new ThreadStart{routine, argument};
    pthread_t thread;
    if (pthread_create(&thread, nullptr, threadMain, start) != 0) {
        delete start;
        return false;
    }
    pthread_detach(thread);
    return true;
}

void yieldThread() {
    sched_yield();
}

// Linux schedules ordinary threads by their nice value, which is per thread.
void lowerThreadPriority() {
    id_t thread = static_cast<id_t>(syscall(SYS_gettid));
    errno = 0;
    int nice = getpriority(PRIO_PROCESS, thread);
    if (nice == -1 && errno != 0)
        return;
    setpriority(PRIO_PROCESS, thread, nice + 10 > 19 ? 19 : nice + 10);
}

} // namespace zor::platform
