// The process-wide stores: opened once, by whichever thread comes first, and then read by all.
// They get one test alone, as they cannot be closed again within a process; the other test here
// reads a store of its own from many threads.
#include "archive/archive_store.h"
#include "archive_fixtures.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

using namespace zor;
using zor::test::fixture;
using zor::test::readWholeFile;
using zor::test::scramble;

namespace {

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

std::string pathOf(const ArchiveStore& store, const std::string& name) {
    ByteString found;
    return store.findPath(ByteString(name.c_str()), found, ByteString()) ? found.c_str()
                                                                         : "<absent>";
}

ArchiveStore* nested(const ArchiveStore& store, const char* name) {
    for (int32_t k = 0; k < store.nestedNameOffsets.length; ++k)
        if (std::strcmp(store.nestedName(k), name) == 0)
            return store.nestedStore(k);
    return nullptr;
}

// Every entry of `store` and of the stores below it, addressed through "!".
void collectPaths(const ArchiveStore& store, const std::string& prefix,
                  std::vector<std::string>& out) {
    for (int32_t i = 0; i < store.index.entries.length; ++i)
        out.push_back(prefix + std::string(store.index.entries[i].name,
                                           static_cast<size_t>(store.index.entries[i].length)));
    for (int32_t k = 0; k < store.nestedStores.length; ++k)
        if (const ArchiveStore* child = store.nestedStore(k))
            collectPaths(*child, prefix + store.nestedName(k) + "!", out);
}

// True when `store` reads its archive straight out of `bytes`.
bool readsFrom(const ArchiveStore& store, const std::string& bytes) {
    const char* at = store.memoryFile.buffer;
    return at >= bytes.data() && at + store.memoryFile.dataSize <= bytes.data() + bytes.size();
}

// exit() runs atexit handlers and static destructors in the reverse order of their
// registration. Registered before any static object of the program is made, this handler runs
// after every destructor, as a Java thread still inside a native would: it reads the stores
// and the application path that the test below set up, which fails (or trips the sanitizers)
// when exit() destroyed them.
const char EXIT_PATH[] = "/a/path/long/enough/to/live/on/the/heap/app";
void readStoresAfterExit() {
    if (storesOpened.load() && (read(embeddedStore, "l1.jar!l2.jar!c\\d.txt") != "c-d\n" ||
                                read(appendedStore, "numbers.txt").size() < 400000 ||
                                nativeApplicationPath != EXIT_PATH)) {
        std::fputs("the process-wide stores changed at exit\n", stderr);
        std::_Exit(1);
    }
}
__attribute__((constructor(101))) void registerBeforeStaticObjects() {
    std::atexit(readStoresAfterExit);
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
    nativeApplicationPath = EXIT_PATH; // read again at exit
    // Opened for good: the sources are not asked again.
    EXPECT_TRUE(ensureStoresOpen(sources));
    EXPECT_EQ(sources.resourceCalls.load(), 1);
}

// The scrambled archive read where it lies, unscrambled as it is read, with the stored archives
// nested in it (two levels deep) read where they lie inside it, serves every name, path and byte
// that the same archive read from its file with copies of its nested archives serves: from one
// thread, and from many at once, each nested store through a view of its own.
TEST(InPlaceStores, ScrambledImageServesWhatTheFileServes) {
    const std::string file = fixture("in-place.zip");
    ArchiveStore reference(2);
    reference.openFromFile(file.c_str());
    const std::string scrambled = scramble(readWholeFile(file));
    ArchiveStore store(2);
    store.openInPlace(scrambled.data(), static_cast<int32_t>(scrambled.size()), unscrambleArchive);

    EXPECT_EQ(store.length, 0); // no image of its own
    ArchiveStore* basic = nested(store, "basic.zip");
    ArchiveStore* outer = nested(store, "outer.zip");
    ASSERT_NE(basic, nullptr);
    ASSERT_NE(outer, nullptr);
    ArchiveStore* patch = nested(*outer, "patch.jar"); // stored in a stored archive
    ArchiveStore* l1 = nested(*outer, "l1.jar");       // deflated in a stored archive
    ASSERT_NE(patch, nullptr);
    ASSERT_NE(l1, nullptr);
    for (const ArchiveStore* window : {basic, outer, patch}) {
        EXPECT_TRUE(readsFrom(*window, scrambled));
        EXPECT_EQ(window->length, 0);
    }
    EXPECT_FALSE(readsFrom(*l1, scrambled));
    EXPECT_GT(l1->length, 0);

    std::vector<std::string> paths;
    collectPaths(reference, "", paths);
    std::vector<std::string> inPlacePaths;
    collectPaths(store, "", inPlacePaths);
    EXPECT_EQ(inPlacePaths, paths);
    ASSERT_GT(paths.size(), 30u);
    // Plain names, searched through the nested archives.
    for (const char* plain : {"numbers.txt", "random.bin", "patched.txt", "c/d.txt", "missing"})
        paths.emplace_back(plain);
    for (const std::string& p : paths) {
        EXPECT_EQ(read(store, p.c_str()), read(reference, p.c_str())) << p;
        EXPECT_EQ(pathOf(store, p), pathOf(reference, p)) << p;
    }
    const std::string random = readWholeFile(fixture("src/random.bin"));
    const std::string numbers = readWholeFile(fixture("src/numbers.txt"));
    ASSERT_EQ(random.size(), 200000u); // stored across read buffers
    EXPECT_EQ(read(store, "basic.zip!random.bin"), random);
    EXPECT_EQ(read(store, "basic.zip!numbers.txt"), numbers);
    EXPECT_EQ(read(store, "src/numbers.txt"), numbers);
    EXPECT_EQ(read(store, "outer.zip!patch.jar!patched.txt"), "patched\n");

    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 6; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < 8; ++round) {
                bool ok = read(store, (t % 2) ? "basic.zip!random.bin" : "random.bin") == random &&
                          read(store, (t % 3) ? "numbers.txt" : "src\\numbers.txt") == numbers &&
                          read(store, "outer.zip!patch.jar!patched.txt") == "patched\n" &&
                          read(store, "outer.zip!l1.jar!l1.txt") == "l1\n";
                if (!ok)
                    ++failures;
            }
        });
    }
    for (std::thread& t : threads)
        t.join();
    EXPECT_EQ(failures.load(), 0);
}
