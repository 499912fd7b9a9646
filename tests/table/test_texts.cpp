#include "table/main_window_texts.h"
#include "base/texts.h"
#include "exchange/exchange_texts.h"

#include <gtest/gtest.h>

#include <QStringEncoder>

using namespace quilex;

namespace {

// Every text must have a Windows-1251 form: project files, the clipboard and the gauge all
// carry texts in that code page.
bool fitsCp1251(const QString& text)
{
    QStringEncoder encoder("windows-1251");
    const QByteArray bytes = encoder.encode(text);
    return !encoder.hasError() && bytes.size() == text.size();
}

} // namespace

TEST(Texts, ChosenByTheLanguageIndex)
{
    const TextPair pair{u"Отмена", u"Cancel"};
    EXPECT_EQ(languageIndex(), 0); // Russian at every start
    EXPECT_EQ(Text(pair), QStringLiteral("Отмена"));
    setLanguageIndex(1);
    EXPECT_EQ(Text(pair), "Cancel");
    EXPECT_EQ(Text(pair, 0), QStringLiteral("Отмена"));
    setLanguageIndex(7); // no third language
    EXPECT_EQ(languageIndex(), 0);
    EXPECT_EQ(Text(pair, 7), QStringLiteral("Отмена"));
    setLanguageIndex(0);
}

TEST(MainWindowTexts, OddSpellingsAreKept)
{
    const QString create = Text(mainWindowText(MainText::CreateProject), 1);
    ASSERT_FALSE(create.isEmpty());
    EXPECT_EQ(create.at(0).unicode(), 0x0421); // Cyrillic capital Es
    EXPECT_EQ(create.mid(1), "reate Project");
    EXPECT_EQ(Text(mainWindowText(MainText::TableEmpty), 0), QStringLiteral("Таблтца пуста"));
    EXPECT_EQ(Text(mainWindowText(MainText::ArchiveTitle), 1), "Archive of measurements ");
    EXPECT_EQ(Text(mainWindowText(MainText::ExcelNotInstalled), 1),
              "Probably Excel it is not established on the computer");
    EXPECT_EQ(Text(mainWindowText(MainText::WindowCaption), 0),
              QStringLiteral("Толщиномер ультразвуковой Quilex-A"));
    EXPECT_EQ(QString::fromUtf16(LanguageMenuCaption), QStringLiteral("Language(Язык)"));
    EXPECT_EQ(QString::fromUtf16(ScreenshotMenuCaption), QStringLiteral("Скриншот с прибора"));
}

TEST(MainWindowTexts, ThirtyPairsInTableOrder)
{
    EXPECT_EQ(Text(MainWindowTexts[0], 1), "Ultrasonic thickness gauge Quilex-A");
    EXPECT_EQ(Text(MainWindowTexts[14], 1), "Read archive");
    EXPECT_EQ(Text(MainWindowTexts[16], 0), QStringLiteral("Материал"));
    EXPECT_EQ(Text(MainWindowTexts[22], 1), "Time");
    EXPECT_EQ(Text(MainWindowTexts[29], 1), "The table is empty");
    for (const TextPair& pair : MainWindowTexts) {
        for (std::uint8_t language : {0, 1}) {
            const QString text = Text(pair, language);
            EXPECT_FALSE(text.isEmpty());
            EXPECT_TRUE(fitsCp1251(text)) << text.toStdString();
        }
    }
    EXPECT_TRUE(fitsCp1251(QString::fromUtf16(NumberHeaderText)));
}

TEST(ExchangeTexts, PairsAndTheirModes)
{
    using namespace exchange_texts;
    EXPECT_EQ(Text(CrcErrorMessage, 1), "CRC16 Error");
    EXPECT_EQ(Text(CrcErrorMessage, 0), QStringLiteral("Ошибка контрольной суммы"));
    EXPECT_EQ(Text(OutOfMemoryMessage, 1), "Memory allocation error");
    EXPECT_EQ(Text(CheckConnectionLabel, 0), QStringLiteral("Проверьте подключение"));
    EXPECT_EQ(Text(SoundSpeedReadLabel, 1), "Speed Sound Read");

    EXPECT_EQ(modeTitle(0), &ConnectionTitle);
    EXPECT_EQ(modeTitle(6), &DataReadTitle);
    EXPECT_EQ(modeTitle(5), nullptr);
    EXPECT_EQ(modeLabel(3), &ArchiveReadLabel);
    EXPECT_EQ(modeLabel(10), &ReadyLabel);
    EXPECT_EQ(modeLabel(8), nullptr);
    EXPECT_EQ(modeLabel(-1), nullptr);
    EXPECT_EQ(linkStatusLabel(LinkStatus::NoData), &NoDataLabel);
    EXPECT_EQ(Text(*linkStatusLabel(LinkStatus::NoLibrary)), "Проверьте подключение"); // no library: no gauge either
    EXPECT_EQ(linkStatusLabel(LinkStatus::Ok), nullptr);

    for (const TextPair* pair : {&ConnectionTitle, &MaterialsWriteLabel, &CancelButton, &ErrorCaption,
                                 &BadSoundSpeedMessage}) {
        EXPECT_TRUE(fitsCp1251(Text(*pair, 0)));
        EXPECT_TRUE(fitsCp1251(Text(*pair, 1)));
    }
}
