#include <gtest/gtest.h>

#include <cstdio>
#include <string>

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
