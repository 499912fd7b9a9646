// The printed report: its lines by hand, the detail band's passes, and the PDF pages as
// poppler reads them.

#include "table/archive_columns.h"
#include "base/texts.h"
#include "export/outside_readers.h"
#include "export/report.h"
#include "support/test_support.h"

#include <QFile>
#include <QFontInfo>
#include <QApplication>
#include <QAction>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QTemporaryDir>
#include <QPrintPreviewWidget>
#include <QTimer>
#include <QPageLayout>
#include <QPageSize>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <cmath>

using namespace quilex;
using quilex::test::TempDir;

namespace {

QString qs(const std::string& s)
{
    return QString::fromStdString(s);
}

StringGrid englishTable(int dataRows)
{
    StringGrid grid(8, dataRows + 1);
    writeArchiveHeader(grid, 1);
    for (int r = 1; r <= dataRows; ++r)
        grid.setRow(r, {QString::number(r), "Steel", "5920", "12.50", "3", "1", "07.05.2013", "09:03:00"});
    return grid;
}

const QDateTime Moment(QDate(2013, 5, 7), QTime(9, 3, 0));

class Report : public ::testing::Test {
protected:
    void SetUp() override { setLanguageIndex(LanguageEnglish); }
    void TearDown() override { setLanguageIndex(LanguageRussian); }
};

TEST_F(Report, HeadingLinesFillFieldsByCharacters)
{
    StringGrid grid = englishTable(0);
    // "№" and 4 spaces, "Material" and 7, "Speed Sound, m/s" and 7, "Thickness, mm" and 2,
    // "Number" and 4, "Series" and 4, "Date" and 9, then "Time".
    const QString english = QStringLiteral("№    Material       Speed Sound, m/s       Thickness, mm  Number    "
                                           "Series    Date         Time");
    EXPECT_EQ(english.size(), 95);
    EXPECT_EQ(reportLine(grid, 0), english);

    writeArchiveHeader(grid, 0); // every Cyrillic letter one character
    EXPECT_EQ(reportLine(grid, 0), QStringLiteral("№    Материал       Скорость звука, м/с    Толщина, мм    Номер     "
                                                  "Серия     Дата         Время"));
}

TEST_F(Report, CellsAreTrimmedAndLongTextsShiftTheFollowingFields)
{
    StringGrid grid(8, 3);
    grid.setRow(1, {" 1\t", "  Steel  ", "5920\r\n", "12.50", "3", "1", "07.05.2013", "09:03:00"});
    grid.setRow(2, {"2", "Aluminium alloy 7075", "6320", "0.00", "4", "2", "NAN", "NAN"});
    EXPECT_EQ(reportLine(grid, 1), QStringLiteral("1    Steel          5920                   12.50          3         1         "
                                                  "07.05.2013   09:03:00"));
    // 20 characters in a 15-character field: taken whole, the rest of the line five further right.
    EXPECT_EQ(reportLine(grid, 2), QStringLiteral("2    Aluminium alloy 70756320                   0.00           4         2         "
                                                  "NAN          NAN"));
    // A row without texts is a line of spaces: the fields' widths, the time's 2 included.
    EXPECT_EQ(reportLine(grid, 0), QString(5 + 15 + 23 + 15 + 10 + 10 + 13 + 2, u' '));
}

TEST_F(Report, LaterColumnsTakeTheirHeadingsLengthPlusTwo)
{
    StringGrid grid = englishTable(1);
    grid.setColCount(10);
    grid.setCell(8, 0, QStringLiteral(" Note "));
    grid.setCell(9, 0, QStringLiteral("Operator"));
    grid.setCell(8, 1, QStringLiteral("ok"));
    grid.setCell(9, 1, QStringLiteral("Иванов"));
    EXPECT_TRUE(reportLine(grid, 0).endsWith(QStringLiteral("TimeNote  Operator  ")));
    EXPECT_TRUE(reportLine(grid, 1).endsWith(QStringLiteral("09:03:00ok    Иванов    ")));
}

TEST_F(Report, TitleCarriesTheDateAndTimeOfTheCommand)
{
    const QLocale russian(QLocale::Russian);
    EXPECT_EQ(reportTitle(QStringLiteral("Архив измерений "), Moment, russian),
              QStringLiteral("Архив измерений 07.05.2013 09:03:00"));
    EXPECT_EQ(reportTitle(QStringLiteral("Archive of measurements "), QDateTime(QDate(2013, 5, 7), QTime(0, 0)), russian),
              QStringLiteral("Archive of measurements 07.05.2013")); // midnight: no time
    EXPECT_EQ(TForm6(englishTable(1), Moment, russian).title(), QStringLiteral("Archive of measurements 07.05.2013 09:03:00"));
    setLanguageIndex(LanguageRussian);
    EXPECT_EQ(TForm6(englishTable(1), Moment, russian).title(), QStringLiteral("Архив измерений 07.05.2013 09:03:00"));
}

TEST_F(Report, DetailBandPrintsAnEmptyLineFirstAndWrapsItsCounter)
{
    TForm6 form(englishTable(2), Moment);
    EXPECT_EQ(ReportLineIndex, 0);
    EXPECT_EQ(ReportLineCount, 3);
    EXPECT_EQ(form.QRExpr2Print(), form.lines()[0]);
    EXPECT_EQ(form.QRExpr1Print(), QString());
    EXPECT_EQ(form.QRExpr1Print(), form.lines()[1]);
    EXPECT_EQ(form.QRExpr1Print(), form.lines()[2]);
    EXPECT_EQ(ReportLineIndex, 0); // back at the start after the last line
    EXPECT_EQ(form.QRExpr1Print(), QString());

    // Only the header row: one empty body line, and the counter stays at 0.
    TForm6 headerOnly(englishTable(0), Moment);
    const auto pages = headerOnly.layOut(60);
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(pages[0].body, QStringList{QString()});
    EXPECT_EQ(pages[0].heading.size(), 95);
    EXPECT_EQ(ReportLineIndex, 0);
}

TEST_F(Report, PagesHoldSixtyLinesAndEveryPassGivesTheSamePages)
{
    QPageLayout a4(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter);
    EXPECT_EQ(TForm6::linesPerPage(a4), 60); // (277 - 11.38 - 10.58) / 4.23

    TForm6 form(englishTable(125), Moment); // body of 126 lines
    const auto pages = form.layOut(60);
    ASSERT_EQ(pages.size(), 3u);
    EXPECT_EQ(pages[0].body.size(), 60);
    EXPECT_EQ(pages[1].body.size(), 60);
    EXPECT_EQ(pages[2].body.size(), 6);
    EXPECT_EQ(pages[0].body[0], QString());
    EXPECT_TRUE(pages[0].body[1].startsWith(QStringLiteral("1    Steel")));
    EXPECT_TRUE(pages[1].body[0].startsWith(QStringLiteral("60   Steel")));
    EXPECT_TRUE(pages[2].body[5].startsWith(QStringLiteral("125  Steel")));
    for (const auto& page : pages) {
        EXPECT_EQ(page.heading, form.lines()[0]);
        EXPECT_EQ(page.title, form.title());
    }
    EXPECT_EQ(pages[2].number, 3);

    // A pass cut short (a cancelled print job) does not shift the next one.
    form.QRExpr1Print();
    form.QRExpr1Print();
    const auto again = form.layOut(60);
    ASSERT_EQ(again.size(), pages.size());
    for (std::size_t i = 0; i < pages.size(); ++i)
        EXPECT_EQ(again[i].body, pages[i].body);
}

TEST_F(Report, LinesUseAFontOfFixedPitch)
{
    const ReportFonts fonts = reportFonts();
    EXPECT_TRUE(QFontInfo(fonts.lines).fixedPitch()) << fonts.lines.family().toStdString();
    EXPECT_EQ(fonts.lines.pointSizeF(), 8.0);
    EXPECT_EQ(QFontInfo(fonts.title).family(), QStringLiteral("Liberation Sans"));
    EXPECT_EQ(fonts.title.pointSizeF(), 10.0);
}

struct Word {
    int page;
    double x;
    double y;
    QString text;
};

// Every word with its place in points, from pdftotext -bbox.
std::vector<Word> pdfWords(const QString& path)
{
    const test::ToolRun run = test::runTool(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), path, QStringLiteral("-")});
    std::vector<Word> words;
    int page = 0;
    static const QRegularExpression word(QStringLiteral("<word xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\"[^>]*>([^<]*)</word>"));
    for (const QString& line : QString::fromUtf8(run.out).split(u'\n')) {
        if (line.contains(QLatin1String("<page ")))
            ++page;
        const auto m = word.match(line);
        if (m.hasMatch())
            words.push_back({page, m.captured(1).toDouble(), m.captured(2).toDouble(), m.captured(3)});
    }
    return words;
}

const Word* findWord(const std::vector<Word>& words, int page, const QString& text, int nth = 0)
{
    for (const Word& w : words)
        if (w.page == page && w.text == text && nth-- == 0)
            return &w;
    return nullptr;
}

constexpr double PtPerMm = 72.0 / 25.4;

TEST_F(Report, PdfPagesAsPopplerReadsThem)
{
    TempDir dir;
    StringGrid grid = englishTable(69); // body of 70 lines: 60 on page 1, 10 on page 2
    grid.setCell(1, 5, QStringLiteral("Aluminium alloy 7075"));
    const std::string path = dir.file("report.pdf");
    const auto written = writeReportPdf(grid, qs(path));
    ASSERT_TRUE(written.ok()) << written.error().toStdString();
    EXPECT_EQ(test::pdfPageCount(qs(path)), 2);

    for (int page = 1; page <= 2; ++page) {
        SCOPED_TRACE(page);
        QStringList lines = test::pdfText(qs(path), page).split(u'\n');
        while (!lines.isEmpty() && lines.back().trimmed().isEmpty())
            lines.removeLast();
        ASSERT_GE(lines.size(), 3);
        EXPECT_TRUE(lines[0].trimmed().startsWith(QStringLiteral("Archive of measurements ")));
        EXPECT_TRUE(lines[1].startsWith(QStringLiteral("№"))) << lines[1].toStdString();
        EXPECT_TRUE(lines[1].trimmed().endsWith(QStringLiteral("Time")));
        EXPECT_EQ(lines.back().trimmed(), QString::number(page)); // the page number ends the page
    }
    // The body: an empty line, then rows 1 to 59 on page 1 and 60 to 69 on page 2.
    auto row = [](int n) {
        return QRegularExpression(QStringLiteral("^%1 +Steel +5920 +12\\.50 +3 +1 +07\\.05\\.2013 +09:03:00$").arg(n),
                                  QRegularExpression::MultilineOption);
    };
    const QString first = test::pdfText(qs(path), 1);
    const QString second = test::pdfText(qs(path), 2);
    EXPECT_TRUE(first.contains(row(1))) << first.toStdString();
    EXPECT_TRUE(first.contains(row(59)));
    EXPECT_FALSE(first.contains(row(60)));
    EXPECT_TRUE(second.contains(row(60)));
    EXPECT_TRUE(second.contains(row(69)));
    EXPECT_FALSE(second.contains(row(59)));

    // Places on the page: margins of 10 mm, the title at 61.38 mm, the heading line 6.35 mm
    // down, detail lines 4.23 mm apart, the page number at 173.57 mm.
    const auto words = pdfWords(qs(path));
    const Word* archive = findWord(words, 1, QStringLiteral("Archive"));
    const Word* number = findWord(words, 1, QStringLiteral("№"));
    const Word* material = findWord(words, 1, QStringLiteral("Material"));
    const Word* steel1 = findWord(words, 1, QStringLiteral("Steel"), 0);
    const Word* steel2 = findWord(words, 1, QStringLiteral("Steel"), 1);
    const Word* pageNumber = findWord(words, 2, QStringLiteral("2"));
    ASSERT_TRUE(archive && number && material && steel1 && steel2 && pageNumber);
    EXPECT_NEAR(archive->x, (10 + 61.38) * PtPerMm, 1.5);
    EXPECT_NEAR(number->x, 10 * PtPerMm, 1.5);
    EXPECT_NEAR(number->y - archive->y, 6.35 * PtPerMm, 2.5);
    EXPECT_NEAR(steel2->y - steel1->y, 4.23 * PtPerMm, 0.2);
    EXPECT_NEAR(steel1->x - material->x, 0.53 * PtPerMm, 0.2); // same column, the detail's 2 px further in
    EXPECT_NEAR(pageNumber->x, (10 + 173.57) * PtPerMm, 1.5);
    EXPECT_GT(pageNumber->y, 842 - (10 + 10.58) * PtPerMm);

    // The long name moves the rest of its line five characters right, and only that line.
    const Word* speed = findWord(words, 1, QStringLiteral("Speed"));
    ASSERT_TRUE(speed);
    const double pitch = (speed->x - material->x) / 15.0;
    const Word* joined = nullptr;
    for (const Word& w : words)
        if (w.page == 1 && w.text == QLatin1String("70755920"))
            joined = &w;
    ASSERT_TRUE(joined);
    EXPECT_NEAR(joined->x, steel1->x + 16 * pitch, 0.3); // "Aluminium alloy " then the run-on word
    const Word* shiftedThickness = nullptr;
    const Word* usualThickness = nullptr;
    for (const Word& w : words)
        if (w.page == 1 && w.text == QLatin1String("12.50"))
            (std::abs(w.y - joined->y) < 0.5 ? shiftedThickness : usualThickness) = &w;
    ASSERT_TRUE(shiftedThickness && usualThickness);
    EXPECT_NEAR(shiftedThickness->x - usualThickness->x, 5 * pitch, 0.3);
}

TEST_F(Report, PdfWriteFailureLeavesNothing)
{
    TempDir dir;
    const std::string file = dir.file("plain");
    QFile f(qs(file));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    const auto written = writeReportPdf(englishTable(1), qs(file + "/r.pdf"));
    ASSERT_FALSE(written.ok());
    EXPECT_FALSE(written.error().isEmpty());
}

TEST_F(Report, PreviewIsModalAndLeavesTheTableAsItWas)
{
    const StringGrid grid = englishTable(65); // two pages
    bool shown = false;
    int pages = 0;
    // Close the preview as soon as it is up; showPrintPreview returns only then.
    QTimer::singleShot(200, [&] {
        if (auto* dialog = qobject_cast<QPrintPreviewDialog*>(QApplication::activeModalWidget())) {
            shown = true;
            if (auto* preview = dialog->findChild<QPrintPreviewWidget*>())
                pages = preview->pageCount();
            dialog->reject();
        }
    });
    showPrintPreview(nullptr, grid);
    EXPECT_TRUE(shown);
    EXPECT_EQ(pages, 2);
    EXPECT_EQ(grid.row(1), englishTable(65).row(1));
    EXPECT_EQ(ReportLineIndex, 0);
}

// Print from the preview, choose a PDF: the name the print dialog offers lies in the folder the
// user last used, wherever that is (the dialog on its own offers the home folder for a folder
// outside it).
TEST_F(Report, ThePrintDialogOffersItsPdfInTheFolderLastUsed)
{
    const StringGrid grid = englishTable(3);
    QTemporaryDir folder; // under /tmp: outside the home folder
    ASSERT_TRUE(folder.isValid());
    QString offered;
    QTimer::singleShot(200, [&] {
        auto* preview = qobject_cast<QPrintPreviewDialog*>(QApplication::activeModalWidget());
        if (!preview)
            return;
        // The print dialog is modal too: look at it once it is up, then close both.
        QTimer::singleShot(300, [&, preview] {
            if (auto* dialog = qobject_cast<QPrintDialog*>(QApplication::activeModalWidget())) {
                if (auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("filename")))
                    offered = name->text();
                dialog->reject();
            }
            preview->reject();
        });
        for (QAction* action : preview->findChildren<QAction*>())
            if (action->objectName() == QStringLiteral("printAction") || action->text() == QStringLiteral("Print")) {
                action->trigger();
                break;
            }
    });
    showPrintPreview(nullptr, grid, folder.path());
    EXPECT_TRUE(offered.startsWith(folder.path() + u'/')) << offered.toStdString();
    EXPECT_TRUE(offered.endsWith(QStringLiteral(".pdf"))) << offered.toStdString();
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv); // fonts and painting, and the preview's window
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
