// The icon and the version information of packed Windows programs: laid out as wrestool
// reads them, and read back under wine as Explorer reads them.
#include "test_support.h"

#include <regex>

using namespace zor::packtest;

namespace {

// An icon file with one 32-bit image per size, laid out as icon editors write them.
Bytes makeIcon(const std::vector<int>& sizes) {
    Bytes file = {0, 0, 1, 0, uint8_t(sizes.size()), 0};
    std::vector<Bytes> images;
    for (int size : sizes) {
        Bytes image(40, 0);
        auto put = [&](size_t at, uint32_t v) {
            for (int i = 0; i < 4; ++i)
                image[at + i] = uint8_t(v >> (8 * i));
        };
        put(0, 40);
        put(4, uint32_t(size));
        put(8, uint32_t(size * 2)); // colour rows and mask rows
        image[12] = 1;
        image[14] = 32;
        for (int p = 0; p < size * size; ++p)
            image.insert(image.end(), {uint8_t(p), uint8_t(size), 0x80, 0xff});
        image.resize(image.size() + size_t((size + 31) / 32 * 4 * size), 0);
        images.push_back(image);
    }
    uint32_t offset = uint32_t(6 + 16 * sizes.size());
    for (size_t i = 0; i < sizes.size(); ++i) {
        Bytes entry = {uint8_t(sizes[i]), uint8_t(sizes[i]), 0, 0, 1, 0, 32, 0};
        for (uint32_t v : {uint32_t(images[i].size()), offset})
            for (int k = 0; k < 4; ++k)
                entry.push_back(uint8_t(v >> (8 * k)));
        file.insert(file.end(), entry.begin(), entry.end());
        offset += uint32_t(images[i].size());
    }
    for (const Bytes& image : images)
        file.insert(file.end(), image.begin(), image.end());
    return file;
}

TEST(IconAndVersion, WrittenForBothWindowsTargetsAndReadBackUnderWine) {
    TempDir dir;
    fs::path support = makeZip(dir, "support.jar", {{"Support.class", patternBytes(300)}});
    fs::path app = makeZip(
        dir, "app.jar",
        {{"META-INF/MANIFEST.MF", bytesOf("Manifest-Version: 1.0\r\nMain-Class: demo.Main\r\n"
                                          "Implementation-Title: Demo Tool\r\n"
                                          "Implementation-Version: 3.4-SNAPSHOT\r\n"
                                          "Implementation-Vendor: Example Org\r\n\r\n")},
         {"demo/Main.class", patternBytes(100)}});
    Bytes ico = makeIcon({16, 32});
    writeBytes(dir / "app.ico", ico);

    for (const char* target : {"win32", "win64"}) {
        SCOPED_TRACE(target);
        std::string stub = std::string(target) == "win32" ? WIN32_STANDIN : WIN64_STANDIN;
        std::string base = zorpack() + " --target " + target + " --stub " + quote(stub) +
                           " --support " + quote(support.string()) + " --app " +
                           quote(app.string()) + " ";
        fs::path out = dir / (std::string("tool-") + target + ".exe");
        RunResult r = runCommand(base + "--icon " + quote(dir / "app.ico") +
                                 " --name 'Zor Démo' --app-version 2.5.1-beta --vendor 'Acme'"
                                 " --copyright '© 2026 Acme' --description 'Does things' -o " +
                                 quote(out.string()));
        ASSERT_EQ(r.code, 0) << r.err;

        // Every image as its own icon, and a group from which wrestool rebuilds the file.
        RunResult listed = runCommand("wrestool -l " + quote(out.string()));
        for (const char* entry : {"--type=3 --name=1 ", "--type=3 --name=2 ", "--type=14 --name=1 ",
                                  "--type=16 --name=1 --language=1033"})
            EXPECT_NE(listed.out.find(entry), std::string::npos) << entry << listed.out;
        fs::path rebuilt = dir / "rebuilt.ico";
        runCommand("wrestool -x --type=14 --name=1 " + quote(out.string()) + " -o " +
                   quote(rebuilt.string()));
        // (wrestool 0.32 pads the file it rebuilds with zeros behind the last image.)
        Bytes icon = readBytes(rebuilt);
        ASSERT_GE(icon.size(), ico.size());
        EXPECT_EQ(Bytes(icon.begin(), icon.begin() + ico.size()), ico);

        fs::path report = dir / "report";
        RunResult run = runCommand(quote(fs::path(ZOR_SOURCE_DIR) / "scripts" / "wine-run") + " " +
                                       quote(WIN64_VERSION_READER) + " " + quote(out.string()) +
                                       " " + quote(report.string()),
                                   300);
        ASSERT_EQ(run.code, 0) << run.out << run.err;
        std::string text = readText(report);
        for (const char* line :
             {"version 2.5.1.0\n", "ProductName=Zor Démo\n", "ProductVersion=2.5.1-beta\n",
              "FileDescription=Does things\n", "CompanyName=Acme\n", "LegalCopyright=© 2026 Acme\n",
              "loadicon\n", "icon 16x16\n", "icon 32x32\n"})
            EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
        EXPECT_NE(text.find("OriginalFilename=" + out.filename().string() + "\n"),
                  std::string::npos)
            << text;

        // Without the options, the manifest's Implementation attributes fill them in.
        fs::path plain = dir / "plain.exe";
        ASSERT_EQ(runCommand(base + "-o " + quote(plain.string())).code, 0);
        run = runCommand(quote(fs::path(ZOR_SOURCE_DIR) / "scripts" / "wine-run") + " " +
                             quote(WIN64_VERSION_READER) + " " + quote(plain.string()) + " " +
                             quote(report.string()),
                         300);
        ASSERT_EQ(run.code, 0) << run.out << run.err;
        text = readText(report);
        for (const char* line : {"version 3.4.0.0\n", "ProductName=Demo Tool\n",
                                 "ProductVersion=3.4-SNAPSHOT\n", "CompanyName=Example Org\n"})
            EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
    }
}

} // namespace
