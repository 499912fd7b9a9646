// The statistics window as an inspector on a 1366 x 768 desktop meets it, in both languages and
// (run again) at twice the scale: it fits the screen with every column, button and its caption;
// a maximised or resized window keeps the user's size after a limit is typed; the whole table's
// limits on a series are told from its own by more than their colour; the PDF is headed with the
// table's name and date and breaks headers only between words; a double click on a minimum's or
// maximum's "№" selects that row in the archive table. And the workbook's statistics give the
// limits each row was judged against.
//
// On the offscreen platform the screen is made 1366 x 768 (2732 x 1536 pixels at twice the
// scale); on a real display (scripts/screenshots) it is the display's, and with
// QUILEX_SCREENSHOTS naming a folder the window is saved there as a picture.

#include "windows/main_window.h"
#include "table/archive_columns.h"
#include "base/texts.h"
#include "export/outside_readers.h"
#include "export/spreadsheet_export.h"
#include "support/sim_gauge.h"
#include "windows/statistics_window.h"
#include "windows/windows_test_support.h"

#include <QAction>
#include <QDate>
#include <QDir>
#include <QHeaderView>
#include <QJsonArray>
#include <QLabel>
#include <QProxyStyle>
#include <QRegularExpression>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTableView>


using namespace quilex;
using namespace quilex::test;

namespace {

[[maybe_unused]] auto* const environment =
    ::testing::AddGlobalTestEnvironment(new LaptopScreenEnvironment({.scaled = true}));

void savePicture(QWidget* window, const QString& name)
{
    const QString folder = qEnvironmentVariable("QUILEX_SCREENSHOTS");
    if (folder.isEmpty())
        return;
    QDir().mkpath(folder);
    const QString base = folder + QLatin1Char('/') + name + (languageIndex() == LanguageEnglish ? "-en" : "-ru");
    window->grab().save(base + QStringLiteral(".png"));
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        QTest::qWait(300);
        // The whole screen: the frame, and whether anything is off it.
        window->screen()->grabWindow(0).save(base + QStringLiteral("-screen.png"));
    }
}

// Where a widget is on the screen.
QRect onScreen(const QWidget* widget)
{
    return QRect(widget->mapToGlobal(QPoint(0, 0)), widget->size());
}

// What the style was asked to draw for each cell: whether in italics, and in which colour.
class CellRecordingStyle final : public QProxyStyle {
public:
    struct Cell {
        QModelIndex index;
        bool italic = false;
        QColor colour;
    };
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override
    {
        if (element == CE_ItemViewItem)
            if (const auto* item = qstyleoption_cast<const QStyleOptionViewItem*>(option))
                cells.push_back({item->index, item->font.italic(), item->palette.color(QPalette::Text)});
        QProxyStyle::drawControl(element, option, painter, widget);
    }
    mutable std::vector<Cell> cells;
};

class StatisticsWindowTest : public ::testing::TestWithParam<std::uint8_t> {
protected:
    void SetUp() override
    {
        state = gauge.makeState(pacing);
        window = std::make_unique<TForm1>(*state);
        window->askAboutUnsavedTable = [](QWidget*) { return TForm1::UnsavedTable::Discard; };
        if (GetParam() == LanguageEnglish)
            window->Lang1Click();
        window->show();
        window->Button1Click();
        window->runner().waitForEnd();
        QApplication::processEvents();
        window->Statistics1->trigger();
        stats = window->statisticsWindow();
        ASSERT_NE(stats, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(stats));
        model = stats->model();
        ASSERT_GT(model->rowCount(), 2);
    }
    void TearDown() override
    {
        window.reset();
        setLanguageIndex(LanguageRussian);
    }
    bool english() const { return GetParam() == LanguageEnglish; }
    int nominalColumn() const { return model->columnCount() - 2; }
    int minimumColumn() const { return model->columnCount() - 1; }
    int allRow() const { return model->rowCount() - 1; }
    // Types a limit into a cell of the window's table and presses Enter, as the user does.
    void typeLimit(int row, int column, const QString& text)
    {
        QTableView* view = stats->view();
        stats->activateWindow();
        view->setFocus();
        view->setCurrentIndex(model->index(row, column));
        view->scrollTo(model->index(row, column));
        QApplication::processEvents();
        typeText(text);
        pressKey(Qt::Key_Return);
        QApplication::processEvents();
    }
    // The window with its frame lies on its screen, and so do its table's columns and buttons.
    void expectWhollyOnTheScreen(const char* when)
    {
        const QRect screen = stats->screen()->availableGeometry();
        SCOPED_TRACE(when);
        // The frame in logical pixels, as the window manager's frame in the screen's pixels rounds
        // to them at twice the scale: a pixel either way.
        EXPECT_TRUE(screen.adjusted(-1, -1, 1, 1).contains(stats->frameGeometry()))
            << "frame " << stats->frameGeometry().x() << "," << stats->frameGeometry().y() << " "
            << stats->frameGeometry().width() << "x" << stats->frameGeometry().height() << " on "
            << screen.width() << "x" << screen.height();
        for (QPushButton* button : {stats->copyButton(), stats->printButton(), stats->pdfButton()})
            EXPECT_TRUE(screen.contains(onScreen(button))) << button->text().toStdString();
        // Every column in view: the table does not scroll across, and its last column ends on the screen.
        QTableView* view = stats->view();
        EXPECT_EQ(view->horizontalScrollBar()->maximum(), 0);
        const int last = model->columnCount() - 1;
        const QPoint end = view->viewport()->mapToGlobal(
            QPoint(view->columnViewportPosition(last) + view->columnWidth(last) - 1, 0));
        EXPECT_LE(end.x(), screen.right());
        // Every text whole: the cells and both lines of each header.
        const QFontMetrics cells(view->font());
        QHeaderView* header = view->horizontalHeader();
        for (int col = 0; col < model->columnCount(); ++col) {
            for (const QString& line : model->headerData(col, Qt::Horizontal).toString().split(u'\n'))
                EXPECT_LE(header->fontMetrics().horizontalAdvance(line), header->sectionSize(col)) << line.toStdString();
            for (int row = 0; row < model->rowCount(); ++row) {
                const QString text = model->index(row, col).data().toString();
                EXPECT_LT(cells.horizontalAdvance(text), view->columnWidth(col)) << text.toStdString();
            }
        }
    }

    RecordingPacing pacing;
    SimGauge gauge{Transport::Usb};
    std::unique_ptr<ExchangeState> state;
    std::unique_ptr<TForm1> window;
    StatisticsWindow* stats = nullptr;
    StatisticsModel* model = nullptr;
};

} // namespace

TEST_P(StatisticsWindowTest, FitsTheScreenWithEveryColumnItsButtonsAndItsHeadersOnTwoLines)
{
    // A screen no larger than the inspector's.
    const QSize screen = stats->screen()->availableGeometry().size();
    ASSERT_LE(screen.width(), 1366);
    ASSERT_LE(screen.height(), 768);
    expectWhollyOnTheScreen("opened");
    // The long headers come on two lines, broken between words.
    QHeaderView* header = stats->view()->horizontalHeader();
    EXPECT_EQ(model->headerData(2, Qt::Horizontal).toString(), english() ? "Minimum,\nmm" : "Минимум,\nмм");
    EXPECT_EQ(model->headerData(minimumColumn(), Qt::Horizontal).toString(),
              english() ? "Allowable\nminimum, mm" : "Допустимый\nминимум, мм");
    EXPECT_GE(header->height(), 2 * header->fontMetrics().height());

    // Every limit set, the widest the figures get: still whole and on the screen.
    typeLimit(allRow(), nominalColumn(), QStringLiteral("999,99"));
    typeLimit(allRow(), minimumColumn(), QStringLiteral("999,99"));
    typeLimit(0, minimumColumn(), QStringLiteral("100,5"));
    ASSERT_TRUE(window->limits().table.nominal);
    EXPECT_EQ(*window->limits().table.nominal, 99999);
    ASSERT_EQ(window->limits().series.size(), 1u);
    expectWhollyOnTheScreen("with limits");
    savePicture(stats, QStringLiteral("statistics-limits"));

    // The other language chosen while the window is open: fitted to the new texts.
    if (english())
        window->Lang0Click();
    else
        window->Lang1Click();
    QApplication::processEvents();
    EXPECT_EQ(model->headerData(2, Qt::Horizontal).toString(), english() ? "Минимум,\nмм" : "Minimum,\nmm");
    expectWhollyOnTheScreen("in the other language");
}

TEST_P(StatisticsWindowTest, AMaximisedWindowStaysMaximisedAfterALimitIsTyped)
{
    stats->showMaximized();
    ASSERT_TRUE(waitFor([&] { return stats->isMaximized() && stats->width() >= stats->screen()->availableGeometry().width() - 20; }));
    QApplication::processEvents();
    const QRect maximised = stats->geometry();
    typeLimit(allRow(), minimumColumn(), QStringLiteral("12,25"));
    ASSERT_TRUE(window->limits().table.minimum);
    EXPECT_EQ(*window->limits().table.minimum, 1225);
    QTest::qWait(50);
    EXPECT_TRUE(stats->isMaximized());
    EXPECT_EQ(stats->geometry(), maximised);
    expectWhollyOnTheScreen("maximised");
    savePicture(stats, QStringLiteral("statistics-maximised"));

    // Back to its normal size, then made smaller by the user: a limit typed keeps that size too,
    // and a figure that got wider widens its column instead.
    stats->showNormal();
    ASSERT_TRUE(waitFor([&] { return !stats->isMaximized(); }));
    stats->resize(stats->width() - 200, stats->height() - 100);
    ASSERT_TRUE(waitFor([&] { return stats->width() < maximised.width() - 150; }));
    QApplication::processEvents();
    const QSize users = stats->size();
    typeLimit(allRow(), nominalColumn(), QStringLiteral("12345,5"));
    QTest::qWait(50);
    EXPECT_EQ(stats->size(), users);
    const QString wide = model->index(allRow(), nominalColumn()).data().toString();
    EXPECT_EQ(wide, QLocale::system().toString(12345.5, 'f', 2).remove(QLocale::system().groupSeparator()));
    EXPECT_LT(stats->view()->fontMetrics().horizontalAdvance(wide), stats->view()->columnWidth(nominalColumn()));
}

TEST_P(StatisticsWindowTest, TheTablesLimitsOnASeriesAreGreyAndItalicItsOwnAreNot)
{
    typeLimit(allRow(), nominalColumn(), QStringLiteral("12,5"));
    typeLimit(0, nominalColumn(), QStringLiteral("11"));
    const QModelIndex own = model->index(0, nominalColumn());
    const QModelIndex inherited = model->index(1, nominalColumn());
    const QModelIndex table = model->index(allRow(), nominalColumn());
    const QModelIndex figure = model->index(1, 2);
    EXPECT_EQ(own.data().toString(), QLocale::system().toString(11.0, 'f', 2));
    EXPECT_EQ(inherited.data().toString(), table.data().toString());
    EXPECT_FALSE(inherited.data(Qt::ToolTipRole).toString().isEmpty()); // says whose limit it is
    EXPECT_TRUE(inherited.data(Qt::EditRole).toString().isEmpty());     // not the series' own to edit

    CellRecordingStyle style;
    QTableView* view = stats->view();
    view->setStyle(&style);
    view->viewport()->repaint();
    std::map<QPersistentModelIndex, CellRecordingStyle::Cell> drawn;
    for (const auto& cell : style.cells)
        drawn[cell.index] = cell;
    view->setStyle(nullptr);
    for (const QModelIndex& index : {own, inherited, table, figure})
        ASSERT_TRUE(drawn.count(index)) << index.row() << "," << index.column();
    const auto& greyed = drawn[inherited];
    EXPECT_TRUE(greyed.italic);
    EXPECT_NE(greyed.colour, drawn[own].colour);
    EXPECT_GT(qGray(greyed.colour.rgb()), qGray(drawn[own].colour.rgb()) + 60); // grey beside black
    for (const QModelIndex& index : {own, table, figure}) {
        EXPECT_FALSE(drawn[index].italic) << index.row() << "," << index.column();
        EXPECT_EQ(drawn[index].colour, drawn[figure].colour);
    }

    // Copied and printed alike: grey and in italics, the series' own plain.
    const QString html = stats->tableHtml();
    EXPECT_TRUE(html.contains(QStringLiteral("<i>") + inherited.data().toString() + QStringLiteral("</i>")));
    EXPECT_FALSE(html.contains(QStringLiteral("<i>") + own.data().toString() + QStringLiteral("</i>")));
    // The hint under the table says what grey italics mean.
    EXPECT_TRUE(stats->findChild<QLabel*>(QStringLiteral("hint"))->text().contains(english() ? "Grey italics" : "Серым курсивом"));
}

TEST_P(StatisticsWindowTest, ThePdfIsHeadedWithTheTablesNameAndDateAndBreaksHeadersBetweenWords)
{
    typeLimit(allRow(), nominalColumn(), QStringLiteral("12,5"));
    typeLimit(allRow(), minimumColumn(), QStringLiteral("10"));
    TempDir dir;
    const QString date = QLocale::system().toString(QDate::currentDate(), QLocale::system().dateFormat(QLocale::ShortFormat));
    auto words = [](const QString& text) {
        return text.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    };

    // Not saved yet: the archive's title names it.
    const QString unsaved = QString::fromStdString(dir.file("unsaved.pdf"));
    ASSERT_TRUE(stats->saveTablePdf(unsaved));
    const QString text = pdfText(unsaved, 0, false);
    EXPECT_TRUE(text.contains((english() ? "Statistics: Archive of measurements, " : "Статистика: Архив измерений, ") + date))
        << text.toStdString();
    // Under the table, what grey italics mean.
    EXPECT_TRUE(text.contains(english() ? "In grey italics" : "Серым курсивом")) << text.toStdString();
    // Each header's every word is whole somewhere in the text, though the headers wrap.
    const QStringList tokens = words(text);
    for (const QString& header : model->headerTexts())
        for (const QString& word : words(header))
            EXPECT_TRUE(tokens.contains(word)) << word.toStdString() << " is broken in\n" << text.toStdString();
    // And every figure.
    for (int col = 0; col < model->columnCount(); ++col)
        EXPECT_TRUE(tokens.contains(model->index(allRow(), col).data().toString()))
            << model->index(allRow(), col).data().toString().toStdString();

    // Saved as a project: its file's name heads the figures.
    const QString project = QString::fromStdString(dir.file("pipe1.qlx"));
    window->saveProjectDialog = [&](QWidget*, const QString&, const QString&) { return project; };
    window->Save2Click();
    const QString saved = QString::fromStdString(dir.file("saved.pdf"));
    ASSERT_TRUE(stats->saveTablePdf(saved));
    EXPECT_TRUE(pdfText(saved, 0, false).contains((english() ? "Statistics: pipe1.qlx, " : "Статистика: pipe1.qlx, ") + date));
    EXPECT_EQ(pdfPageCount(saved), 1);
    if (const QString folder = qEnvironmentVariable("QUILEX_SCREENSHOTS"); !folder.isEmpty()) {
        QDir().mkpath(folder);
        const QString kept = folder + (english() ? "/statistics-en.pdf" : "/statistics-ru.pdf");
        QFile::remove(kept);
        QFile::copy(saved, kept);
    }
}

TEST_P(StatisticsWindowTest, ADoubleClickOnAMinimumsOrMaximumsNumberSelectsItsRow)
{
    QTableView* view = stats->view();
    const TableValues& values = window->tableValues();
    auto doubleClick = [&](int row, int column) {
        const QModelIndex index = model->index(row, column);
        view->scrollTo(index);
        QApplication::processEvents();
        // As a mouse sends it: a click, then the second press as a double click.
        const QPoint at = view->visualRect(index).center();
        QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, at);
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, at);
        QTest::mouseRelease(view->viewport(), Qt::LeftButton, Qt::NoModifier, at);
        QApplication::processEvents();
    };
    // The row now selected in the archive table.
    auto selectedRow = [&]() -> const ArchiveValues& {
        const GridRect selection = window->archiveTable().selection();
        EXPECT_EQ(selection.Top, selection.Bottom);
        EXPECT_EQ(selection.Right, window->archiveTable().colCount() - 1);
        return values.row(selection.Top);
    };
    // A series' minimum, in the first series.
    doubleClick(0, 3);
    const SeriesStatistics& first = model->rowStatistics(0);
    EXPECT_EQ(selectedRow().record, first.minimumRecord);
    EXPECT_EQ(selectedRow().thickness, first.minimum);
    EXPECT_EQ(selectedRow().series, first.series);
    EXPECT_EQ(model->index(0, 3).data().toString(), first.minimumRecord);
    // The whole table's maximum.
    doubleClick(allRow(), 5);
    const SeriesStatistics& all = model->rowStatistics(allRow());
    EXPECT_EQ(selectedRow().record, all.maximumRecord);
    EXPECT_EQ(selectedRow().thickness, all.maximum);
    const int row = window->archiveTable().selection().Top;
    // The row is in view.
    QTableView* archive = window->grid();
    const QRect cell = archive->visualRect(archive->model()->index(row - 1, 3));
    EXPECT_TRUE(archive->viewport()->rect().intersects(cell));
    // Another figure is no way to the table: the selection stays.
    doubleClick(0, 2);
    EXPECT_EQ(window->archiveTable().selection().Top, row);
    // After a sort the same figure finds its row where the sort put it.
    window->StringGrid1MouseUp(Qt::LeftButton, 3, 0);
    QApplication::processEvents();
    doubleClick(allRow(), 5);
    EXPECT_EQ(selectedRow().thickness, model->rowStatistics(allRow()).maximum);
    EXPECT_EQ(selectedRow().record, model->rowStatistics(allRow()).maximumRecord);
    EXPECT_NE(window->archiveTable().selection().Top, row);
}

INSTANTIATE_TEST_SUITE_P(Languages, StatisticsWindowTest, ::testing::Values(LanguageRussian, LanguageEnglish),
                         [](const auto& info) { return info.param == LanguageEnglish ? "English" : "Russian"; });

namespace {

QByteArray unzipped(const QString& workbook, const QString& part, const TempDir& scratch)
{
    const QString folder = QString::fromStdString(scratch.file("parts"));
    QDir(folder).removeRecursively();
    const ToolRun unzip = runTool(QStringLiteral("unzip"), {QStringLiteral("-q"), workbook, QStringLiteral("-d"), folder});
    EXPECT_EQ(unzip.exitCode, 0) << unzip.err.constData();
    QFile file(folder + QLatin1Char('/') + part);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << part.toStdString();
    return file.readAll();
}

} // namespace

// Beside the count below the minimum, each row of the workbook's statistics gives the nominal and
// the minimum it was judged against, as numbers in millimetres; the archive's sheet is unchanged.
TEST(StatisticsWorkbook, EachRowGivesTheNominalAndMinimumItWasJudgedAgainst)
{
    for (const std::uint8_t language : {LanguageRussian, LanguageEnglish}) {
        StringGrid grid(8, 5);
        writeArchiveHeader(grid, language);
        const QLocale locale(QLocale::Russian);
        grid.setRow(1, {"1", "Сталь", "5920", "10,00", "1", "1", "07.05.2013", "09:03:00"});
        grid.setRow(2, {"2", "Сталь", "5920", "8,00", "2", "1", "07.05.2013", "09:04:00"});
        grid.setRow(3, {"3", "Сталь", "5920", "5,50", "3", "2", "07.05.2013", "09:05:00"});
        grid.setRow(4, {"4", "Сталь", "5920", "6,50", "4", "2", "07.05.2013", "09:06:00"});
        TableLimits limits;
        limits.table = {1000, 700};
        limits.series[2] = {std::nullopt, 600}; // series 2 may go down to 6,00: 5,50 is below
        TempDir dir;
        const QString path = QString::fromStdString(dir.file("stats.xlsx"));
        ASSERT_TRUE(ExportToSpreadsheet(grid, path, QStringLiteral("Архив измерений "), locale, limits, language).ok());
        const QJsonObject book = readWorkbook(path);
        const QJsonObject s = book["sheets"].toArray().at(1).toObject();
        const auto cell = [&](const QByteArray& ref) { return s["cells"].toObject()[QLatin1String(ref)].toObject(); };
        const bool english = language == LanguageEnglish;
        EXPECT_EQ(cell("J1")["v"].toString(), english ? "Below minimum" : "Ниже минимума");
        EXPECT_EQ(cell("L1")["v"].toString(), english ? "Nominal, mm" : "Номинал, мм");
        EXPECT_EQ(cell("M1")["v"].toString(), english ? "Allowable minimum, mm" : "Допустимый минимум, мм");
        EXPECT_EQ(s["max_col"].toInt(), 13);
        // Series 1 by the table's limits, series 2 by its own minimum and the table's nominal,
        // the whole table by the table's: nominal, minimum, count below it.
        const std::vector<std::tuple<int, double, double, double>> rows{{2, 10, 7, 0}, {3, 10, 6, 1}, {4, 10, 7, 1}};
        for (const auto& [row, nominal, minimum, below] : rows) {
            const auto at = [&](char column) { return cell((QString(QChar(column)) + QString::number(row)).toLatin1()); };
            EXPECT_EQ(at('L')["v"].toDouble(), nominal) << row;
            EXPECT_EQ(at('L')["t"].toString(), "n") << row;
            EXPECT_EQ(at('L')["f"].toString(), "0.00") << row;
            EXPECT_EQ(at('M')["v"].toDouble(), minimum) << row;
            EXPECT_EQ(at('M')["f"].toString(), "0.00") << row;
            EXPECT_EQ(at('J')["v"].toDouble(), below) << row;
        }
        EXPECT_EQ(cell("A4")["v"].toString(), english ? "All" : "Все");

        // The archive's sheet is the very same as without the limits.
        const QString plain = QString::fromStdString(dir.file("plain.xlsx"));
        ASSERT_TRUE(ExportToSpreadsheet(grid, plain, QStringLiteral("Архив измерений "), locale, {}, language).ok());
        const QString sheet = QStringLiteral("xl/worksheets/sheet1.xml");
        const QByteArray withLimits = unzipped(path, sheet, dir);
        EXPECT_FALSE(withLimits.isEmpty());
        EXPECT_TRUE(withLimits == unzipped(plain, sheet, dir));
        // Without limits nothing was judged: no columns for them.
        EXPECT_EQ(readWorkbook(plain)["sheets"].toArray().at(1).toObject()["max_col"].toInt(), 9);
    }
}
