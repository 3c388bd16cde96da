// The process-wide stores: opened once, by whichever thread comes first, and then read by all.
// One program, one test: the stores cannot be closed again within a process.
#include "archive/archive_store.h"
#include "archive_fixtures.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

using namespace zor;
using zor::test::fixture;
using zor::test::readWholeFile;

namespace {

// The packer's step: every byte rotated right by two bits.
std::string scramble(const std::string& plain) {
    std::string out(plain.size(), '\0');
    for (size_t i = 0; i < plain.size(); ++i) {
        auto b = static_cast<unsigned char>(plain[i]);
        out[i] = static_cast<char>(((b >> 2) | (b << 6)) & 0xFF);
    }
    return out;
}

class TestSources : public StoreSources {
public:
    std::string resource;
    bool resourcePresent = true;
    std::atomic<int> resourceCalls{0};
    std::atomic<int> pathCalls{0};

    bool embeddedArchive(const void** data, uint32_t* size) override {
        ++resourceCalls;
        if (!resourcePresent)
            return false;
        // Slow the opener down so that the other threads pile up at the lock.
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        *data = resource.data();
        *size = static_cast<uint32_t>(resource.size());
        return true;
    }
    ByteString appendedArchivePath() override {
        ++pathCalls;
        return ByteString(fixture("behind-exe.zip").c_str());
    }
};

std::string read(ArchiveStore& store, const char* name) {
    ByteBuffer content;
    if (!store.readEntry(ByteString(name), content))
        return "<absent>";
    return std::string(content.data, content.length);
}

} // namespace

TEST(ProcessStores, OpenOnceUnderManyThreadsAndReadConcurrently) {
    unsigned char all[256];
    char back[256];
    for (int i = 0; i < 256; ++i)
        all[i] = static_cast<unsigned char>(i);
    std::string scrambled = scramble(std::string(reinterpret_cast<char*>(all), 256));
    unscrambleArchive(scrambled.data(), 256, back);
    EXPECT_EQ(std::memcmp(all, back, 256), 0);
    EXPECT_EQ(static_cast<unsigned char>(scramble("\x01")[0]), 0x40);

    // The program's own sources: this test program carries no resource 128, so nothing opens.
    EXPECT_FALSE(ensureStoresOpen());
    EXPECT_EQ(storesOpened.load(), 0);

    TestSources sources;
    sources.resource = scramble(readWholeFile(fixture("outer.zip")));
    ASSERT_FALSE(sources.resource.empty());

    // No embedded archive: nothing opens, and the next call tries again.
    sources.resourcePresent = false;
    EXPECT_FALSE(ensureStoresOpen(sources));
    EXPECT_EQ(storesOpened.load(), 0);
    EXPECT_EQ(sources.pathCalls.load(), 0);
    EXPECT_EQ(embeddedStore.index.entries.length, 0);
    sources.resourcePresent = true;
    sources.resourceCalls = 0;

    const std::string numbers = readWholeFile(fixture("src/numbers.txt"));
    const std::string random = readWholeFile(fixture("src/random.bin"));
    constexpr int THREADS = 12;
    std::mutex gate;
    std::condition_variable go;
    bool started = false;
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < THREADS; ++t) {
        threads.emplace_back([&, t] {
            {
                std::unique_lock<std::mutex> hold(gate);
                go.wait(hold, [&] { return started; });
            }
            if (!ensureStoresOpen(sources))
                ++failures;
            for (int round = 0; round < 20; ++round) {
                // Reads of the same store and of different stores overlap.
                bool ok = read(embeddedStore, "shared.txt") == "from a\n" &&
                          read(embeddedStore, "l1.jar!l2.jar!c\\d.txt") == "c-d\n" &&
                          read(embeddedStore, (t % 2) ? "bb.jar!dup.txt" : "dup.txt") ==
                              ((t % 2) ? "nested dup\n" : "top dup\n") &&
                          read(appendedStore, "numbers.txt") == numbers &&
                          (round % 5 != 0 || read(appendedStore, "random.bin") == random);
                if (!ok)
                    ++failures;
            }
        });
    }
    {
        std::lock_guard<std::mutex> hold(gate);
        started = true;
    }
    go.notify_all();
    for (std::thread& t : threads)
        t.join();

    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(sources.resourceCalls.load(), 1);
    EXPECT_EQ(sources.pathCalls.load(), 1);
    EXPECT_EQ(storesOpened.load(), 1);
    // Opened for good: the sources are not asked again.
    EXPECT_TRUE(ensureStoresOpen(sources));
    EXPECT_EQ(sources.resourceCalls.load(), 1);
}
