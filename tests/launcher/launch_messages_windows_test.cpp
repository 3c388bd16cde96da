// Windows: the program's string tables hold every text of the message file in each language.
#include "launcher/launch_messages_support.h"
#include "platform/codepage.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

std::string entry(WORD language, int id) {
    HRSRC found =
        FindResourceExA(nullptr, MAKEINTRESOURCEA(6), MAKEINTRESOURCEA(id / 16 + 1), language);
    if (!found)
        return "(no block)";
    const uint16_t* units =
        static_cast<const uint16_t*>(LockResource(LoadResource(nullptr, found)));
    uint32_t count = SizeofResource(nullptr, found) / 2;
    uint32_t p = 0;
    for (int i = 0; i < id % 16 && p < count; ++i)
        p += units[p] + 1;
    if (p >= count)
        return "(past the end)";
    std::string utf8;
    int n = WideCharToMultiByte(CP_UTF8, 0, reinterpret_cast<const wchar_t*>(units + p + 1),
                                units[p], nullptr, 0, nullptr, nullptr);
    utf8.resize(n);
    WideCharToMultiByte(CP_UTF8, 0, reinterpret_cast<const wchar_t*>(units + p + 1), units[p],
                        utf8.data(), n, nullptr, nullptr);
    return utf8;
}

TEST(StringTables, HoldTheMessageFileInEveryLanguage) {
    auto messages = zor::test::messageFile();
    for (int language : {1033, 1028, 2052}) {
        for (int id = 0; id < 16; ++id) {
            auto it = messages.find({language, id});
            EXPECT_EQ(entry(static_cast<WORD>(language), id),
                      it == messages.end() ? std::string() : it->second)
                << language << " " << id;
        }
    }
}

} // namespace
