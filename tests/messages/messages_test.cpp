#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <regex>
#include <string>
#include <vector>

#include "messages/Messages.h"

namespace {
class LanguageTest : public ::testing::Test {
protected:
    void TearDown() override { language = kLanguageChinese; }
};
} // namespace

TEST_F(LanguageTest, PicksTheTextAndTheControlIdOfTheLanguage)
{
    language = kLanguageChinese;
    EXPECT_EQ(LocalControlId(102), 102);
    EXPECT_EQ(LocalControlId(148), 148);
    // "TorneLix安装完成!" in GBK: the texts reach the program in code page 936.
    EXPECT_EQ(std::string(LocalText(MsgInstallSuccess)), "TorneLix\xB0\xB2\xD7\xB0\xCD\xEA\xB3\xC9!");
    language = kLanguageEnglish;
    EXPECT_EQ(LocalControlId(102), 1102);
    EXPECT_EQ(LocalControlId(148), 1148);
    EXPECT_STREQ(LocalText(MsgInstallSuccess), "Install TorneLix Success!");
    EXPECT_STREQ(LocalText(MsgGroupName), "Group %d");
}

TEST_F(LanguageTest, AStrayLanguageValueReadsAsChinese)
{
    language = 7;
    EXPECT_EQ(LocalText(MsgNetshFailed), MsgNetshFailed.text[0]);
    EXPECT_EQ(LocalControlId(140), 140);
}

TEST_F(LanguageTest, TheWipeWarningPutsThePathBetweenItsParentheses)
{
    char buf[1024];
    language = kLanguageEnglish;
    snprintf(buf, sizeof buf, LocalText(MsgWipeWarning), "C:\\Program Files (x86)\\Velko\\");
    EXPECT_EQ(std::string(buf),
              "Warning:\n\nSetup program will delete all files in directory(C:\\Program Files (x86)\\Velko\\) \n"
              "Please save parameters for recover later. \nClick 'OK' to continue. ");
    language = kLanguageChinese;
    snprintf(buf, sizeof buf, LocalText(MsgWipeWarning), "X");
    // "警告！\n安装程序将删除(X)中的..." in GBK.
    EXPECT_EQ(std::string(buf).substr(0, 23),
              "\xBE\xAF\xB8\xE6\xA3\xA1\n\xB0\xB2\xD7\xB0\xB3\xCC\xD0\xF2\xBD\xAB\xC9\xBE\xB3\xFD(X");
}

TEST_F(LanguageTest, EveryPairHasBothTextsAndTheEnglishOnesAreAscii)
{
    const MessagePair* pairs[] = {&MsgWipeWarning, &MsgNetshFailed, &MsgCommitFailed, &MsgFirstRunFailed,
                                  &MsgDriverInstallFailed, &MsgInstallSuccess, &MsgBootDirFailed,
                                  &MsgReserveQuestionHeader, &MsgReserveAsk, &MsgReserveFailed,
                                  &MsgUnitFileCreateFailed, &MsgParamFileAccessFailed, &MsgEffectReboot,
                                  &MsgEffectLoadProgram, &MsgEffectAtOnce, &MsgSerialNumberOrder, &MsgGroupName,
                                  &MsgArrayType, &MsgMaxLength, &MsgTransferSummaryHeader,
                                  &MsgTransferSummarySuccess};
    for (const MessagePair* p : pairs) {
        ASSERT_NE(p->text[0], nullptr);
        ASSERT_NE(p->text[1], nullptr);
        EXPECT_GT(std::string(p->text[0]).size(), 0u);
        for (const char* c = p->text[1]; *c; ++c)
            EXPECT_LT(static_cast<unsigned char>(*c), 0x80) << p->text[1];
    }
    EXPECT_STREQ(MsgUnitFileCreateFailed.text[1], "Create file error while unit files");
    EXPECT_STREQ(kTextBadSignature, "Bad Signature");
    EXPECT_STREQ(kTextCreateProcessFailed, "ERR 203: Create a process failed!");
    EXPECT_STREQ(kTextInvalidState, "Invalid state!");
}

namespace {
// The conversions of a format in order ("%s", "%lu", "%1!s!"); "%%" is none.
// A "%" that starts no conversion is returned as "?" so that it cannot pass.
std::vector<std::string> Conversions(const char* text)
{
    static const std::regex kConversion(R"(^%(\d+![^!]+!|[-+ #0]*\d*(\.\d+)?(hh|h|ll|l|z)?[diouxXeEfgGcsp]))");
    std::vector<std::string> found;
    for (const char* c = text; *c; ++c) {
        if (*c != '%')
            continue;
        if (c[1] == '%') {
            ++c;
            continue;
        }
        std::cmatch match;
        if (std::regex_search(c, match, kConversion)) {
            found.push_back(match.str());
            c += match.length() - 1;
        } else {
            found.push_back("?");
        }
    }
    return found;
}
} // namespace

// An English box fed the Chinese text's arguments must read them the same
// way: a pair whose conversions differ would print garbage or crash.
TEST(MessagePairs, BothLanguagesHaveTheSameConversionsInTheSameOrder)
{
    size_t count = 0;
    const NamedPair* pairs = AllMessagePairs(&count);
    ASSERT_GT(count, 50u);
    std::vector<NamedPair> all(pairs, pairs + count);
    for (int step = 0; step <= static_cast<int>(InstallStep::Reboot); ++step)
        all.push_back({"StepLabel", &StepLabel(static_cast<InstallStep>(step))});
    size_t withConversions = 0;
    for (const NamedPair& named : all) {
        std::vector<std::string> chinese = Conversions(named.pair->text[0]);
        EXPECT_EQ(chinese, Conversions(named.pair->text[1])) << named.name;
        EXPECT_EQ(std::count(chinese.begin(), chinese.end(), "?"), 0) << named.name;
        if (!chinese.empty())
            ++withConversions;
    }
    // The reader itself: it finds what the boxes format.
    EXPECT_EQ(Conversions(MsgParamFileAccessFailed.text[1]), (std::vector<std::string>{"%1!s!", "%2!d!"}));
    EXPECT_EQ(Conversions(MsgRollbackToOlder.text[0]), (std::vector<std::string>(4, "%s")));
    EXPECT_EQ(Conversions("50%% %5.2f %"), (std::vector<std::string>{"%5.2f", "?"}));
    EXPECT_GT(withConversions, 20u);
}

// The installed-programs entry's command echoes the text through cmd: a
// character cmd reads as an operator would run something else, or cut it.
TEST(MessagePairs, TheNoUninstallerTextIsPlainForCmd)
{
    for (const char* text : MsgNoUninstaller.text) {
        EXPECT_EQ(std::string(text).find_first_of("&|<>^%()\"\r\n"), std::string::npos) << text;
        EXPECT_NE(std::string(text).find("/ROLLBACK"), std::string::npos) << text;
    }
}
