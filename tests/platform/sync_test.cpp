#include "platform/sync.h"

#include <atomic>
#include <gtest/gtest.h>

using namespace zor::platform;

namespace {

struct Counter {
    Mutex mutex;
    long value = 0; // guarded by mutex, deliberately not atomic
    std::atomic<int> finished{0};
    int threads = 0;
    Event allDone;
};

void countUp(void* argument) {
    Counter* counter = static_cast<Counter*>(argument);
    for (int i = 0; i < 20000; ++i) {
        MutexLock lock(counter->mutex);
        long seen = counter->value;
        if (i % 1000 == 0)
            yieldThread(); // invite another thread in between read and write
        counter->value = seen + 1;
    }
    if (++counter->finished == counter->threads)
        counter->allDone.set();
}

struct Gate {
    Event open;
    std::atomic<int> passed{0};
    Event allPassed;
};

void waitAtGate(void* argument) {
    Gate* gate = static_cast<Gate*>(argument);
    lowerThreadPriority();
    if (gate->open.wait(WAIT_FOREVER) && ++gate->passed == 3)
        gate->allPassed.set();
}

} // namespace

TEST(Sync, MutexKeepsIncrementsFromThreadsApart) {
    Counter counter;
    counter.threads = 4;
    for (int i = 0; i < counter.threads; ++i)
        ASSERT_TRUE(startThread(countUp, &counter));
    ASSERT_TRUE(counter.allDone.wait(60000));
    MutexLock lock(counter.mutex);
    EXPECT_EQ(counter.value, 4 * 20000);
}

TEST(Sync, EventStaysSetAndReleasesEveryWaiter) {
    Gate gate;
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(startThread(waitAtGate, &gate));
    EXPECT_FALSE(gate.allPassed.wait(100)); // nobody passes a closed gate
    EXPECT_EQ(gate.passed.load(), 0);
    gate.open.set();
    ASSERT_TRUE(gate.allPassed.wait(60000));
    EXPECT_EQ(gate.passed.load(), 3);
    // Manual reset: later waits succeed at once, without a time limit needed.
    EXPECT_TRUE(gate.open.wait(0));
}

TEST(Sync, UnsetEventTimesOut) {
    Event event;
    EXPECT_FALSE(event.wait(0));
    EXPECT_FALSE(event.wait(30));
    event.set();
    event.set();
    EXPECT_TRUE(event.wait(0));
}
