// The ZIP reader opening arbitrary bytes, in memory and as a file, and reading every entry.
#include "archive/archive_reader.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

using namespace zor;

namespace {

// Reads each entry through a small buffer; a claimed size is not trusted beyond a few MB.
void readEntries(ArchiveReader& reader) {
    static char buffer[4096];
    for (int32_t n = 0; n < reader.entryCount() && n < 4000; ++n) {
        try {
            if (!reader.openEntry(n))
                continue;
            int64_t total = 0;
            int32_t got;
            while ((got = reader.read(buffer, sizeof buffer)) > 0 && total < (4 << 20))
                total += got;
            if (reader.entryIsOpen())
                reader.closeEntry();
        } catch (const ArchiveError&) {
            reader.abandonEntry();
        }
    }
}

std::string scratch;

// One file per process, rewritten for every input and removed at exit.
const std::string& scratchFile() {
    if (scratch.empty()) {
        char path[] = "/tmp/zor-fuzz-archive-XXXXXX";
        int fd = mkstemp(path);
        if (fd >= 0)
            close(fd);
        scratch = path;
        std::atexit([] { std::remove(scratch.c_str()); });
    }
    return scratch;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    {
        MemoryFile file;
        file.attach(data, static_cast<int64_t>(size));
        ArchiveReader reader;
        try {
            reader.openMemory(&file);
            readEntries(reader);
        } catch (const ArchiveError&) {
        }
    }
    const std::string& path = scratchFile();
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
        ArchiveReader reader;
        try {
            reader.openFile(path.c_str());
            readEntries(reader);
        } catch (const ArchiveError&) {
        }
    }
    return 0;
}
