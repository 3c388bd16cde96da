// Every entry of real jars and of the JDK's jmods (an archive behind a 4-byte header), read
// through the reader, against what unzip lists (size, CRC-32) and extracts (sampled entries).
#include "archive/archive_reader.h"
#include "archive_fixtures.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>
#include <zlib.h>

using namespace zor;
using zor::test::fixture;
using zor::test::readWholeFile;

namespace {

struct Listed {
    uint32_t size;
    uint32_t crc;
};

// Parses `unzip -v`: "Length Method Size Cmpr Date Time CRC-32 Name" rows between the dashes.
std::map<std::string, Listed> parseListing(const std::string& path) {
    std::map<std::string, Listed> entries;
    std::ifstream in(path);
    std::string line;
    int dashes = 0;
    while (std::getline(in, line)) {
        if (line.compare(0, 8, "--------") == 0) {
            ++dashes;
            continue;
        }
        if (dashes != 1)
            continue;
        unsigned long length = 0, crc = 0;
        char method[32], size[32], ratio[32], date[32], time[32];
        int nameAt = 0;
        if (std::sscanf(line.c_str(), "%lu %31s %31s %31s %31s %31s %lx %n", &length, method, size,
                        ratio, date, time, &crc, &nameAt) == 7 &&
            nameAt > 0) {
            std::string name = line.substr(static_cast<size_t>(nameAt));
            for (char& c : name)
                if (c == '/')
                    c = '\\';
            entries[name] = Listed{static_cast<uint32_t>(length), static_cast<uint32_t>(crc)};
        }
    }
    return entries;
}

std::vector<std::string> lines(const std::string& path) {
    std::vector<std::string> out;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line))
        if (!line.empty())
            out.push_back(line);
    return out;
}

} // namespace

TEST(Corpus, EveryEntryMatchesUnzip) {
    std::vector<std::string> archives = lines(fixture("corpus/archives.txt"));
    ASSERT_GE(archives.size(), 3u) << "guava, commons-lang3 and the jmods are expected";

    // name -> sampled bytes, per archive
    std::vector<std::map<std::string, std::string>> samples(archives.size());
    size_t sampleCount = 0;
    for (const std::string& row : lines(fixture("corpus/samples.txt"))) {
        std::istringstream fields(row);
        std::string number, file, name;
        std::getline(fields, number, '\t');
        std::getline(fields, file, '\t');
        std::getline(fields, name);
        for (char& c : name)
            if (c == '/')
                c = '\\';
        samples.at(std::stoul(number))[name] = readWholeFile(fixture("corpus/" + file));
        ++sampleCount;
    }
    EXPECT_GE(sampleCount, 50u);

    size_t total = 0, compared = 0, jmods = 0;
    std::string content;
    for (size_t a = 0; a < archives.size(); ++a) {
        SCOPED_TRACE(archives[a]);
        std::map<std::string, Listed> listed =
            parseListing(fixture("corpus/" + std::to_string(a) + ".lst"));
        ArchiveReader r;
        ASSERT_NO_THROW(r.openFile(archives[a].c_str()));
        ASSERT_EQ(static_cast<size_t>(r.entryCount()), listed.size());
        if (archives[a].size() > 5 &&
            archives[a].compare(archives[a].size() - 5, 5, ".jmod") == 0) {
            EXPECT_EQ(r.bytesBeforeArchive(), 4u);
            ++jmods;
        }
        for (int32_t n = 0; n < r.entryCount(); ++n) {
            const ArchiveEntryHeader& h = r.header(n);
            std::string name(h.name.data, static_cast<size_t>(h.name.length));
            auto it = listed.find(name);
            ASSERT_NE(it, listed.end()) << name;
            ASSERT_EQ(h.uncompressedSize, it->second.size) << name;
            content.assign(h.uncompressedSize, '\0');
            int closed = 0;
            try {
                ASSERT_TRUE(r.openEntry(n)) << name;
                ASSERT_EQ(r.read(&content[0], static_cast<int32_t>(content.size())),
                          static_cast<int32_t>(content.size()))
                    << name;
                closed = r.closeEntry();
            } catch (const ArchiveError& e) {
                FAIL() << name << ": error " << e.code;
            }
            EXPECT_EQ(closed, 1) << name;
            uint32_t crc = static_cast<uint32_t>(
                crc32(crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef*>(content.data()),
                      static_cast<uInt>(content.size())));
            ASSERT_EQ(crc, it->second.crc) << name;
            auto sample = samples[a].find(name);
            if (sample != samples[a].end()) {
                ASSERT_EQ(content, sample->second) << name;
                ++compared;
            }
            ++total;
        }
    }
    EXPECT_GT(jmods, 0u);
    EXPECT_GT(total, 5000u);
    EXPECT_EQ(compared, sampleCount);
}
