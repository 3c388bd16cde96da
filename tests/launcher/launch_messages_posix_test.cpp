// Linux: the user's language comes from LC_ALL, LC_MESSAGES and LANG, in this order.
#include "launcher/messages.h"

#include "launcher/launch_messages_support.h"
#include "vmhost/fake_jvm_support.h"

namespace {

class Locale : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"})
            zor::test::unsetEnv(name);
    }
    void TearDown() override { SetUp(); }
};

TEST_F(Locale, EveryLanguageHasEveryText) {
    auto messages = zor::test::messageFile();
    for (auto [locale, language] : {std::pair{"en_US.UTF-8", 1033}, std::pair{"zh_TW.UTF-8", 1028},
                                    std::pair{"zh_CN.UTF-8", 2052}}) {
        zor::test::setEnv("LANG", locale);
        for (int id : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10})
            EXPECT_STREQ(zor::loadMessage(id).c_str(),
                         messages.at(std::make_pair(language, id)).c_str())
                << locale << " " << id;
    }
    zor::test::setEnv("LANG", "zh_CN.UTF-8");
    EXPECT_STREQ(zor::launchErrorText(zor::VersionTooLow, 1, 4, 1, 5).c_str(),
                 "Java 虚拟机版本 1.4 太低，需要 1.5 或更高版本。");
}

TEST_F(Locale, VariablesAndRegionsChooseTheTable) {
    struct Case {
        const char* all;
        const char* messages;
        const char* lang;
        const char* caption;
    };
    const Case cases[] = {
        {nullptr, nullptr, nullptr, "Error"},
        {nullptr, nullptr, "C", "Error"},
        {nullptr, nullptr, "zh_HK.UTF-8", "錯誤"},
        {nullptr, nullptr, "zh_SG.UTF-8", "错误"},
        {nullptr, nullptr, "zh", "错误"},
        {nullptr, "zh_TW", "en_US.UTF-8", "錯誤"},
        {"en_GB.UTF-8", "zh_TW", "zh_CN", "Error"},
        {"", "zh_TW", "en_US", "錯誤"}, // an empty variable does not count
        {nullptr, nullptr, "zhx_XX", "Error"},
    };
    for (const Case& c : cases) {
        int i = 0;
        for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
            const char* value = i == 0 ? c.all : i == 1 ? c.messages : c.lang;
            ++i;
            if (value)
                zor::test::setEnv(name, value);
            else
                zor::test::unsetEnv(name);
        }
        EXPECT_STREQ(zor::loadMessage(zor::ERROR_CAPTION_ID).c_str(), c.caption)
            << (c.all ? c.all : "-") << " " << (c.messages ? c.messages : "-") << " "
            << (c.lang ? c.lang : "-");
    }
}

} // namespace
