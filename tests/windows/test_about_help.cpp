// The about box's texts and links, and the help window in both languages.

#include "windows/about_box.h"
#include "windows/help_window.h"
#include "support/test_support.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

#include "base/texts.h"
#include "windows/windows_test_support.h"

#include <QDesktopServices>
#include <QLabel>
#include <QTextBrowser>
#include <QUrl>

using namespace quilex;
using namespace quilex::test;

namespace {

[[maybe_unused]] auto* const environment = ::testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);

class UrlRecorder : public QObject {
    Q_OBJECT
public:
    std::vector<QUrl> urls;
public Q_SLOTS:
    void open(const QUrl& url) { urls.push_back(url); }
};

class LanguageReset : public ::testing::Test {
protected:
    void TearDown() override { setLanguageIndex(LanguageRussian); }
};

} // namespace

TEST(BuildDate, VersionLineInBothLanguages)
{
    EXPECT_EQ(versionLine("2.1", "Mar  3 2012", LanguageRussian), QStringLiteral("Версия 2.1 от 3 марта 2012 г."));
    EXPECT_EQ(versionLine("2.1", "Mar  3 2012", LanguageEnglish), QStringLiteral("Version 2.1 of 3 march 2012 г."));
    EXPECT_EQ(buildDateText("Dec 31 1999", LanguageRussian), QStringLiteral(" от 31 декабря 1999 г."));
    EXPECT_EQ(buildDateText("Apr 13 2024", LanguageEnglish), QStringLiteral(" of 13 apri 2024 г."));
    EXPECT_EQ(buildDateText("May  9 2020", LanguageRussian), QStringLiteral(" от 9 мая 2020 г."));
    // The file version is shown as it is; a month that is not known reads as January.
    EXPECT_EQ(versionLine("1.02.0003", "Xyz 13 2024", LanguageRussian),
              QStringLiteral("Версия 1.02.0003 от 13 января 2024 г."));
    EXPECT_EQ(buildDateText("Mar", LanguageRussian), std::nullopt);
    EXPECT_EQ(buildDateText("", LanguageEnglish), std::nullopt);
}

TEST_F(LanguageReset, AboutBoxTextsAndLinks)
{
    AboutInfo info = aboutInfo();
    info.fileVersion = "2.1";
    info.buildDate = "Mar  3 2012";
    {
        TAboutBox box(nullptr, info);
        EXPECT_EQ(box.windowTitle(), " О программе ");
        EXPECT_EQ(box.ProductName->text(), "Толщиномер ультразвуковой Quilex-A");
        EXPECT_EQ(box.Version->text(), "Версия 2.1 от 3 марта 2012 г.");
        EXPECT_EQ(box.Comments->text(), "тел./факс. ");
        EXPECT_EQ(box.Label2->text(), " многоканальный ");
        EXPECT_EQ(box.txtCopyright->text(), info.legalNotice);
        EXPECT_EQ(box.Label1->text().split('\n'), info.phones);
        EXPECT_TRUE(info.email.contains('@'));

        UrlRecorder recorder;
        QDesktopServices::setUrlHandler("mailto", &recorder, "open");
        QDesktopServices::setUrlHandler("https", &recorder, "open");
        QDesktopServices::setUrlHandler("http", &recorder, "open");
        box.show();
        QTest::mouseClick(box.LabelEMail, Qt::LeftButton);
        QTest::mouseClick(box.LabelWWW, Qt::LeftButton);
        QTest::mouseClick(box.ProgramIcon, Qt::LeftButton);
        QDesktopServices::unsetUrlHandler("mailto");
        QDesktopServices::unsetUrlHandler("https");
        QDesktopServices::unsetUrlHandler("http");
        ASSERT_EQ(recorder.urls.size(), 3u);
        EXPECT_EQ(recorder.urls[0].toString(), "mailto:" + info.email + "?Subject=Quilex-A");
        EXPECT_EQ(recorder.urls[1], QUrl::fromUserInput(info.web));
        EXPECT_EQ(recorder.urls[2], recorder.urls[1]);

        QTimer::singleShot(0, &box, [&box] { QTest::keyClick(&box, Qt::Key_Return); });
        EXPECT_EQ(box.exec(), QDialog::Accepted);
    }
    setLanguageIndex(LanguageEnglish);
    TAboutBox english(nullptr, info);
    EXPECT_EQ(english.windowTitle(), " About ");
    EXPECT_EQ(english.Version->text(), "Version 2.1 of 3 march 2012 г.");
    EXPECT_EQ(english.Comments->text(), "tel./fax");

    // A build date that cannot be read leaves the designed texts.
    info.buildDate = "Mar 13";
    TAboutBox unread(nullptr, info);
    EXPECT_EQ(unread.ProductName->text(), "Ultrasonic thickness gauge Quilex-A");
    EXPECT_EQ(unread.Comments->text(), "тел./факс.");
    EXPECT_EQ(unread.Label2->text(), "(многоканальный)");
    EXPECT_FALSE(unread.Version->text().contains("2.1"));
}

TEST_F(LanguageReset, AboutBoxOfThisBuildShowsItsVersionAndDate)
{
    TAboutBox box;
    EXPECT_EQ(box.Version->text(), versionLine(QStringLiteral(QUILEX_VERSION), __DATE__, LanguageRussian));
}

TEST_F(LanguageReset, HelpOpensInTheLanguageInUseInOneWindowOfItsOwn)
{
    auto main = std::make_unique<QWidget>();
    main->show();
    showHelp();
    HelpWindow* help = helpWindow();
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->isVisible());
    EXPECT_TRUE(help->isWindow());
    EXPECT_EQ(help->parentWidget(), nullptr);
    EXPECT_EQ(help->browser()->source(), HelpWindow::pageFor(LanguageRussian));
    const QString russian = help->browser()->toPlainText();
    for (const char* text : {"Считать архив", "Настройка материалов", "Загрузить в прибор", "Скриншот с прибора",
                             "Создать Проект", "Открыть Проект", "Сохранить в Excel", "Печать",
                             "Копировать таблицу в буфер", "Копировать выделенное в буфер", "Language(Язык)",
                             "Вводить только цифры!", "сохранять в *.bmp", "О приборе"})
        EXPECT_TRUE(russian.contains(QString::fromUtf8(text))) << text;

    // Closing it and asking again shows the same window, now in English.
    help->close();
    setLanguageIndex(LanguageEnglish);
    showHelp();
    EXPECT_EQ(helpWindow(), help);
    EXPECT_TRUE(help->isVisible());
    EXPECT_EQ(help->browser()->source(), HelpWindow::pageFor(LanguageEnglish));
    const QString english = help->browser()->toPlainText();
    for (const char* text : {"Read archive", "Material Settings", "Load into the device", "Сreate Project",
                             "Save in Excel", "Copy select to clipboard", "Enter only the numbers", "save to *.bmp",
                             "Information", "About"})
        EXPECT_TRUE(english.contains(QString::fromUtf8(text))) << text;
    for (const char* command : {"quilex-cli devices", "quilex-cli archive", "quilex-cli materials",
                                "quilex-cli screenshot", "quilex-cli convert"}) {
        EXPECT_TRUE(english.contains(command)) << command;
        EXPECT_TRUE(russian.contains(command)) << command;
    }

    // The main window going away leaves the manual open.
    main.reset();
    EXPECT_EQ(helpWindow(), help);
    EXPECT_TRUE(help->isVisible());
    destroyHelpWindow();
    EXPECT_EQ(helpWindow(), nullptr);
}

// The manual's command table lists every command "quilex-cli --help" lists, and a narrow help
// window never breaks an option ("--wait SECONDS", "[-o FILE]") across two lines.
TEST_F(LanguageReset, TheManualListsEveryCommandAndKeepsOptionsWhole)
{
    QProcess cli;
    cli.start(QString::fromStdString(test::binPath("quilex-cli")), {QStringLiteral("--help")});
    ASSERT_TRUE(cli.waitForFinished(10000));
    const QString overview = QString::fromUtf8(cli.readAllStandardOutput());
    const QString commandsPart = overview.section(QStringLiteral("Commands:"), 1).section(QStringLiteral("\n\n"), 0, 0);
    QStringList commands;
    for (const QString& line : commandsPart.split(u'\n', Qt::SkipEmptyParts))
        commands << line.trimmed().section(u' ', 0, 0);
    ASSERT_GE(commands.size(), 7);

    for (std::uint8_t language : {LanguageRussian, LanguageEnglish}) {
        setLanguageIndex(language);
        showHelp();
        HelpWindow* help = helpWindow();
        ASSERT_NE(help, nullptr);
        // A copy laid out at the width of a narrow window.
        const std::unique_ptr<QTextDocument> document(help->browser()->document()->clone());
        for (const QString& command : commands)
            EXPECT_TRUE(document->toPlainText().contains(QStringLiteral("quilex-cli ") + command))
                << command.toStdString() << " in language " << int(language);
        document->setTextWidth(360);
        (void)document->size(); // lays every block out
        const QRegularExpression option(QStringLiteral("\\[[^\\]]*\\]|-o \\S+|--write \\S+"));
        int checked = 0;
        for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
            if (!block.text().startsWith(QStringLiteral("quilex-cli ")))
                continue;
            QTextLayout* layout = block.layout();
            for (auto match = option.globalMatch(block.text()); match.hasNext();) {
                const QRegularExpressionMatch found = match.next();
                const QTextLine first = layout->lineForTextPosition(int(found.capturedStart()));
                const QTextLine last = layout->lineForTextPosition(int(found.capturedEnd()) - 1);
                ASSERT_TRUE(first.isValid() && last.isValid());
                EXPECT_EQ(first.lineNumber(), last.lineNumber()) << found.captured().toStdString();
                ++checked;
            }
        }
        EXPECT_GT(checked, 20);
    }
    destroyHelpWindow();
}

#include "test_about_help.moc"

TEST(HelpWindowKeys, EscapeClosesTheHelpWindow)
{
    showHelp();
    HelpWindow* window = helpWindow();
    ASSERT_NE(window, nullptr);
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    QTest::keyClick(window->browser(), Qt::Key_Escape);
    EXPECT_FALSE(window->isVisible());
}
