// The history window on the offscreen platform, in both languages, on a real history file:
// its rows are what "quilex-cli history rates" writes for the same file, its filters and sort,
// edits written to the file (read back with sqlite3) and undone, marks set from the trend, the
// grid's colour map, the surveys' texts, and the main window's history commands.

#include "base/texts.h"
#include "history/history_tables.h"
#include "history/history_texts.h"
#include "table/project_file.h"
#include "table/archive_columns.h"
#include "support/test_support.h"
#include "windows/grid_map.h"
#include "windows/history_commands.h"
#include "windows/history_models.h"
#include "windows/history_sample.h"
#include "windows/history_window.h"
#include "windows/main_window.h"
#include "windows/windows_test_support.h"

#include <QAction>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QScatterSeries>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QUndoStack>

using namespace quilex;
using namespace quilex::test;

namespace {

[[maybe_unused]] auto* const environment = ::testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);

QString sql(const QString& path, const QString& statement)
{
    QProcess shell;
    shell.start("sqlite3", {"-batch", path, statement});
    shell.waitForFinished(30000);
    return QString::fromUtf8(shell.readAllStandardOutput() + shell.readAllStandardError()).trimmed();
}

QString local(const char* number)
{
    return QString::fromLatin1(number).replace(u'.', QLocale::system().decimalPoint());
}

class HistoryWindowIn : public ::testing::TestWithParam<std::uint8_t> {
protected:
    void SetUp() override
    {
        setLanguageIndex(GetParam());
        window.retranslate(); // made before the language was chosen
        makeSampleHistory(path);
        auto opened = openHistory(path);
        ASSERT_TRUE(opened.ok());
        store = std::move(opened).value();
        window.tellError = [this](QWidget*, const QString& message) { told << message; };
        window.setAsOf(SampleAsOf);
        ASSERT_TRUE(window.setHistory(store.get(), path));
        window.show();
        QApplication::processEvents();
    }
    void TearDown() override { setLanguageIndex(LanguageRussian); }

    bool english() const { return GetParam() == LanguageEnglish; }
    QString word(Status status) const { return history_texts::statusWord(status, GetParam()); }
    // The locations as the table shows them, top to bottom.
    QStringList shownLocations() const
    {
        QStringList shown;
        const QAbstractItemModel* model = window.locationsView()->model();
        for (int row = 0; row < model->rowCount(); ++row)
            shown << model->index(row, 0).data().toString();
        return shown;
    }
    QString shownCell(LocationKey location, int column) const
    {
        const int row = window.locationsModel()->rowOf(location);
        return window.locationsModel()->index(row, column).data().toString();
    }
    bool editLocation(LocationKey location, int column, const QString& text)
    {
        LocationsModel* model = window.locationsModel();
        return model->setData(model->index(model->rowOf(location), column), text, Qt::EditRole);
    }
    bool editGroup(int row, int column, const QString& text)
    {
        return window.groupsModel()->setData(window.groupsModel()->index(row, column), text, Qt::EditRole);
    }

    TempDir dir;
    const QString path = QString::fromStdString(dir.file("unit4.qlh"));
    std::unique_ptr<HistoryStore> store;
    HistoryWindow window;
    QStringList told;
};

} // namespace

TEST_P(HistoryWindowIn, RowsAreWhatHistoryRatesWrites)
{
    QProcess cli;
    cli.start(QString::fromStdString(binPath("quilex-cli")),
              {"history", "rates", path, "--as-of", "2024-03-01", "--lang", english() ? "en" : "ru"});
    ASSERT_TRUE(cli.waitForFinished(60000));
    ASSERT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
    QStringList lines = QString::fromUtf8(cli.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 6);
    LocationsModel* model = window.locationsModel();
    QStringList header;
    for (int column = 0; column < LocationsModel::RatesColumns; ++column)
        header << model->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
    EXPECT_EQ(header, lines.takeFirst().split(u'\t'));
    ASSERT_EQ(model->rowCount(), lines.size());
    for (int row = 0; row < model->rowCount(); ++row)
        EXPECT_EQ(model->ratesTexts(row), lines[row].split(u'\t')) << row;
    EXPECT_EQ(model->headerData(LocationsModel::DescriptionColumn, Qt::Horizontal, Qt::DisplayRole).toString(),
              english() ? "Description" : "Описание");
    EXPECT_EQ(shownCell({1, 1}, LocationsModel::DescriptionColumn), "north");
    EXPECT_EQ(window.windowTitle(), english() ? "Survey history — unit4.qlh" : "История обследований — unit4.qlh");

    // The status is a coloured mark beside its word.
    const QModelIndex red = model->index(model->rowOf({1, 3}), LocationsModel::StatusColumn);
    EXPECT_EQ(red.data().toString(), word(Status::Red));
    EXPECT_EQ(red.data(Qt::DecorationRole).value<QColor>(), statusColour(Status::Red));
    EXPECT_NE(statusColour(Status::Amber), statusColour(Status::Green));
}

TEST_P(HistoryWindowIn, WorstFirstThenFilteredAndSorted)
{
    // Red, then amber with the earlier next inspection first, grey, green; the worst drawn.
    EXPECT_EQ(shownLocations(), (QStringList{"1-3", "1-2", "1-4", "2-1", "1-1"}));
    EXPECT_EQ(window.drawnLocation(), (LocationKey{1, 3}));

    window.statusFilter()->setCurrentIndex(window.statusFilter()->findText(word(Status::Amber)));
    EXPECT_EQ(shownLocations(), (QStringList{"1-2", "1-4"}));
    window.groupFilter()->setCurrentIndex(window.groupFilter()->findData(2));
    EXPECT_TRUE(shownLocations().isEmpty());
    window.statusFilter()->setCurrentIndex(0);
    EXPECT_EQ(shownLocations(), (QStringList{"2-1"}));
    EXPECT_EQ(window.groupFilter()->itemText(window.groupFilter()->findData(2)), "2 — Nozzles");
    window.groupFilter()->setCurrentIndex(0);

    // By the last thickness, thinnest first.
    window.locationsView()->sortByColumn(11, Qt::AscendingOrder);
    EXPECT_EQ(shownLocations(), (QStringList{"2-1", "1-3", "1-2", "1-4", "1-1"}));
    // The governing rate, fastest first: a location without a rate still comes last.
    window.locationsView()->sortByColumn(14, Qt::DescendingOrder);
    EXPECT_EQ(shownLocations(), (QStringList{"1-3", "1-2", "1-1", "1-4", "2-1"}));

    // Another day and rate: the figures follow, still those of the rates.
    window.setAsOf(QDate(2034, 3, 2));
    EXPECT_EQ(shownCell({1, 1}, LocationsModel::StatusColumn), word(Status::Red)); // past its next inspection
    window.setRateChoice(RateChoice::LongTerm);
    EXPECT_EQ(shownCell({1, 2}, 14), local("0.140"));
}

TEST_P(HistoryWindowIn, EditsAreWrittenAtOnceAndUndoneOneByOne)
{
    // The group's required thickness: in the file at once, the figures follow.
    ASSERT_TRUE(editGroup(window.groupsModel()->rowOf(1), GroupsModel::RequiredColumn, local("6.50")));
    EXPECT_EQ(sql(path, "SELECT required FROM groups WHERE series = 1"), "650");
    EXPECT_EQ(shownCell({1, 2}, 5), local("6.50"));
    EXPECT_EQ(shownCell({1, 2}, LocationsModel::StatusColumn), word(Status::Red)); // 6.48 is below 6.50 now
    ASSERT_TRUE(editGroup(window.groupsModel()->rowOf(1), GroupsModel::NameColumn, "Shell ring 1"));
    EXPECT_EQ(sql(path, "SELECT name FROM groups WHERE series = 1"), "Shell ring 1");
    // The defaults' row: every group without a value of its own takes it (group 2 here).
    ASSERT_TRUE(editGroup(0, GroupsModel::RequiredColumn, "4"));
    EXPECT_EQ(sql(path, "SELECT required FROM object"), "400");
    EXPECT_EQ(shownCell({2, 1}, LocationsModel::StatusColumn), word(Status::Green));

    // A location's own settings.
    ASSERT_TRUE(editLocation({1, 3}, LocationsModel::DescriptionColumn, "elbow, outer side"));
    ASSERT_TRUE(editLocation({1, 3}, LocationsModel::OwnRequiredColumn, local("5.5")));
    ASSERT_TRUE(editLocation({1, 3}, LocationsModel::RenewedColumn, "2020-01-01"));
    EXPECT_EQ(sql(path, "SELECT description, required, renewed FROM locations WHERE series = 1 AND number = 3"),
              "elbow, outer side|550|2020-01-01");
    EXPECT_EQ(shownCell({1, 3}, 5), local("5.50"));
    EXPECT_EQ(shownCell({1, 3}, LocationsModel::OwnRequiredColumn), local("5.50"));

    // What cannot be a value is refused, told, and nothing is written.
    const QByteArray before = [&] {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    EXPECT_FALSE(editLocation({1, 3}, LocationsModel::OwnRequiredColumn, "thick"));
    EXPECT_FALSE(editLocation({1, 3}, LocationsModel::RenewedColumn, "01.01.2020"));
    EXPECT_FALSE(editGroup(window.groupsModel()->rowOf(1), GroupsModel::GridColumnsColumn, "0"));
    ASSERT_EQ(told.size(), 3);
    EXPECT_TRUE(told[0].contains(english() ? "A thickness is in millimetres" : "Толщина вводится в миллиметрах"));
    EXPECT_TRUE(told[2].contains(english() ? "from 1 to 10000" : "от 1 до 10000"));
    QFile after(path);
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    EXPECT_EQ(after.readAll(), before);

    // One step each, undone in turn and done again.
    QUndoStack* undo = window.undoStack();
    ASSERT_EQ(undo->count(), 6);
    undo->undo(); // renewal
    EXPECT_EQ(sql(path, "SELECT ifnull(renewed, '-') FROM locations WHERE series = 1 AND number = 3"), "-");
    undo->undo();
    undo->undo();
    EXPECT_EQ(sql(path, "SELECT ifnull(description, '-'), ifnull(required, '-') FROM locations WHERE series = 1 AND number = 3"),
              "-|-");
    undo->undo(); // the defaults
    EXPECT_EQ(sql(path, "SELECT ifnull(required, '-') FROM object"), "-");
    EXPECT_EQ(shownCell({2, 1}, LocationsModel::StatusColumn), word(Status::Grey));
    undo->undo();
    undo->undo();
    EXPECT_EQ(sql(path, "SELECT name, required FROM groups WHERE series = 1"), "Shell|600");
    EXPECT_EQ(shownCell({1, 2}, LocationsModel::StatusColumn), word(Status::Amber));
    undo->redo();
    EXPECT_EQ(sql(path, "SELECT required FROM groups WHERE series = 1"), "650");
    EXPECT_TRUE(window.undoButton()->isEnabled());
    EXPECT_TRUE(window.redoButton()->isEnabled());
}

TEST_P(HistoryWindowIn, AReadingIsMarkedFromTheTrend)
{
    window.selectLocation({1, 4});
    EXPECT_EQ(window.drawnLocation(), (LocationKey{1, 4}));
    QChart* chart = window.trendView()->chart();
    ASSERT_NE(chart, nullptr);
    EXPECT_TRUE(chart->title().startsWith(english() ? "Location 1-4" : "Точка 1-4"));
    QTableWidget* readings = window.readingsTable();
    ASSERT_EQ(readings->rowCount(), 3);
    EXPECT_EQ(readings->item(1, 0)->text(), "2022-03-01");
    EXPECT_EQ(readings->item(1, 2)->text(), english() ? "no" : "нет");
    EXPECT_FALSE(window.verifiedButton()->isEnabled());

    // A click on the hollow point of 2022 chooses that reading.
    QScatterSeries* hollow = nullptr;
    for (QAbstractSeries* s : chart->series())
        if (s->objectName() == "left-out")
            hollow = qobject_cast<QScatterSeries*>(s);
    ASSERT_TRUE(hollow && hollow->count() == 1);
    Q_EMIT hollow->clicked(hollow->at(0));
    EXPECT_EQ(readings->currentRow(), 1);
    ASSERT_TRUE(window.verifiedButton()->isEnabled());

    // Verified: the file says so, the reading counts and the location loses its flag E.
    QTest::mouseClick(window.verifiedButton(), Qt::LeftButton);
    EXPECT_EQ(sql(path, "SELECT mark FROM reading_list WHERE location = '1-4' AND date = '2022-03-01'"), "verified");
    EXPECT_EQ(readings->item(1, 2)->text(), english() ? "yes" : "да");
    EXPECT_EQ(readings->item(1, 3)->text(), english() ? "verified" : "проверено");
    EXPECT_EQ(shownCell({1, 4}, 20), "");
    EXPECT_EQ(shownCell({1, 4}, 9), local("9.00")); // grown and verified: the previous value now

    // Ignored instead, then undone twice: back to no mark, and flag E again.
    QTest::mouseClick(window.ignoredButton(), Qt::LeftButton);
    EXPECT_EQ(sql(path, "SELECT mark FROM reading_list WHERE location = '1-4' AND date = '2022-03-01'"), "ignored");
    EXPECT_EQ(shownCell({1, 4}, 20), "");
    window.undoStack()->undo();
    window.undoStack()->undo();
    EXPECT_EQ(sql(path, "SELECT ifnull(mark, '-') FROM reading_list WHERE location = '1-4' AND date = '2022-03-01'"), "-");
    EXPECT_EQ(shownCell({1, 4}, 20), "E");
    EXPECT_EQ(readings->item(1, 2)->text(), english() ? "no" : "нет");
}

TEST_P(HistoryWindowIn, TheGridAsAColourMap)
{
    window.showGroup(1);
    const auto cellsBy = [&] {
        std::map<QString, MapCell> by;
        for (const MapCell& c : window.gridMap()->cells())
            by[c.name] = c;
        return by;
    };
    auto cells = cellsBy();
    ASSERT_EQ(cells.size(), 4u);
    EXPECT_EQ(cells["A1"].location, (LocationKey{1, 1}));
    EXPECT_EQ(cells["C1"].location, (LocationKey{1, 3}));
    EXPECT_EQ(cells["A2"].location, (LocationKey{1, 4}));
    EXPECT_EQ(cells["A2"].row, 1);
    EXPECT_EQ(cells["A1"].text, local("9.00"));
    EXPECT_EQ(cells["C1"].text, local("5.90"));
    // Thinnest red, thickest green; the scale says from what to what.
    EXPECT_GT(cells["C1"].colour.red(), cells["C1"].colour.green());
    EXPECT_GT(cells["A1"].colour.green(), cells["A1"].colour.red());
    EXPECT_EQ(window.mapNote()->text(), english() ? "from " + local("5.90") + " mm (red) to " + local("9.00") + " mm (green)"
                                                  : "от " + local("5.90") + " мм (красный) до " + local("9.00") + " мм (зелёный)");

    // The loss since the previous survey, and the rate as the rates write it.
    window.mapFigure()->setCurrentIndex(1);
    cells = cellsBy();
    EXPECT_EQ(cells["A1"].text, local("0.60"));
    EXPECT_EQ(cells["C1"].text, local("2.10"));
    EXPECT_EQ(cells["A2"].text, local("0.20")); // the grown 9.00 is not a value kept
    window.mapFigure()->setCurrentIndex(2);
    cells = cellsBy();
    EXPECT_EQ(cells["B1"].text, shownCell({1, 2}, 14));
    EXPECT_GT(cells["C1"].colour.red(), cells["C1"].colour.green()); // the fastest

    // A cell's place on the widget leads back to its location; no grid, no map.
    const QSize size = window.gridMap()->cellSize();
    ASSERT_NE(window.gridMap()->cellAt(QPoint(size.width() / 2, size.height() * 3 / 2)), nullptr);
    EXPECT_EQ(window.gridMap()->cellAt(QPoint(size.width() / 2, size.height() * 3 / 2))->name, "A2");
    window.showGroup(2);
    EXPECT_TRUE(window.gridMap()->cells().empty());
    EXPECT_TRUE(window.mapNote()->text().contains(english() ? "no grid columns" : "не задано число столбцов"));
    // Columns changed in place: the map follows.
    window.showGroup(1);
    ASSERT_TRUE(editGroup(window.groupsModel()->rowOf(1), GroupsModel::GridColumnsColumn, "2"));
    EXPECT_EQ(cellsBy()["B2"].location, (LocationKey{1, 4}));
}

TEST_P(HistoryWindowIn, TheSurveysAndTheirTexts)
{
    window.showSurveys();
    SurveysModel* surveys = window.surveysModel();
    ASSERT_EQ(surveys->rowCount(), 4);
    EXPECT_EQ(surveys->headerData(SurveysModel::OperatorColumn, Qt::Horizontal, Qt::DisplayRole).toString(),
              english() ? "Operator" : "Оператор");
    EXPECT_EQ(surveys->index(1, SurveysModel::DateColumn).data().toString(), "2020-03-01");
    EXPECT_EQ(surveys->index(1, SurveysModel::ReadingsColumn).data().toString(), "4");
    EXPECT_EQ(surveys->index(3, SurveysModel::ProbeColumn).data().toString(), "P112");
    EXPECT_FALSE(surveys->flags(surveys->index(0, SurveysModel::DateColumn)) & Qt::ItemIsEditable);

    ASSERT_TRUE(surveys->setData(surveys->index(1, SurveysModel::LabelColumn), "second round", Qt::EditRole));
    ASSERT_TRUE(surveys->setData(surveys->index(1, SurveysModel::OperatorColumn), "Petrov", Qt::EditRole));
    EXPECT_EQ(sql(path, "SELECT label, operator FROM surveys WHERE id = 2"), "second round|Petrov");
    EXPECT_EQ(surveys->index(1, SurveysModel::LabelColumn).data().toString(), "second round");
    window.undoStack()->undo();
    EXPECT_EQ(sql(path, "SELECT label, operator FROM surveys WHERE id = 2"), "second round|Ivanov");
    EXPECT_EQ(surveys->index(1, SurveysModel::OperatorColumn).data().toString(), "Ivanov");
}

TEST_P(HistoryWindowIn, AFileThatIsNoHistoryIsToldAndTheWindowGoesOn)
{
    // The window itself: a history that can no longer be read is told, the window stays.
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        file.write(QByteArray(100, 'x'));
    }
    EXPECT_FALSE(window.reload());
    ASSERT_EQ(told.size(), 1);
    EXPECT_FALSE(told.front().isEmpty());
    EXPECT_TRUE(window.isVisible());
    window.setHistory(nullptr, {});
    EXPECT_EQ(window.locationsModel()->rowCount(), 0);
    EXPECT_EQ(window.windowTitle(), english() ? "Survey history" : "История обследований");
}

INSTANTIATE_TEST_SUITE_P(Languages, HistoryWindowIn, ::testing::Values(LanguageRussian, LanguageEnglish),
                         [](const auto& info) { return info.param == LanguageEnglish ? "English" : "Russian"; });

// The main window's commands: open (and refuse), add the current table, the window, and the
// switch of language at run time.
TEST(HistoryCommandsOfTheMainWindow, OpenAddShowAndSwitchLanguage)
{
    TempDir dir;
    RecordingPacing pacing;
    ExchangeState state(pacing, dir.file("no-devices"), dir.file("no-libusb.so"));
    // (No gauge: the table comes from a project file.)
    TForm1 main(state);
    HistoryCommands* commands = main.historyCommands();
    ASSERT_NE(commands, nullptr);
    std::vector<std::pair<QString, bool>> told;
    commands->tell = [&](QWidget*, const QString& message, bool failure) { told.push_back({message, failure}); };
    // At the end of the Edit menu, after its own items.
    EXPECT_EQ(main.Edit1->actions().back(), commands->menu->menuAction());
    EXPECT_EQ(commands->menu->title(), "История обследований");

    // Nothing open yet: the add says so.
    commands->addCurrentTable();
    ASSERT_EQ(told.size(), 1u);
    EXPECT_TRUE(told.back().second);

    // Refused files, told in the language in use: the history open before stays open.
    const QString history = QString::fromStdString(dir.file("unit4.qlh"));
    makeSampleHistory(history);
    ASSERT_TRUE(commands->openHistoryAt(history));
    const QString notes = QString::fromStdString(dir.file("notes.qlh"));
    {
        QFile file(notes);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("not a history at all, but long enough to have a header of a hundred bytes or more. "
                   "..........................................................");
    }
    main.Lang1Click();
    EXPECT_FALSE(commands->openHistoryAt(notes));
    EXPECT_TRUE(told.back().first.contains("is not a Quilex-A survey history")) << told.back().first.toStdString();
    const QString newer = QString::fromStdString(dir.file("newer.qlh"));
    makeSampleHistory(newer);
    sql(newer, "PRAGMA user_version = 7");
    main.Lang0Click();
    EXPECT_FALSE(commands->openHistoryAt(newer));
    EXPECT_TRUE(told.back().first.contains("более новой версией")) << told.back().first.toStdString();
    EXPECT_EQ(commands->path(), history);

    // The current table into the open history: from the values beside the table.
    const QString table = QString::fromStdString(dir.file("visit5.qlx"));
    {
        StringGrid grid(ArchiveColumnCount, 4, 1, 1);
        writeArchiveHeader(grid, 0);
        const QLocale locale = QLocale::system();
        const QStringList rows[] = {
            {"1", "steel", "5920", locale.toString(8.9, 'f', 2), "1", "1", locale.toString(QDate(2025, 3, 1), QLocale::ShortFormat), "10:00:00"},
            {"2", "steel", "5920", locale.toString(9.0, 'f', 2), "1", "1", locale.toString(QDate(2024, 3, 1), QLocale::ShortFormat), "09:00:00"},
            {"3", "steel", "5920", "NAN", "2", "1", locale.toString(QDate(2025, 3, 1), QLocale::ShortFormat), "10:00:00"}};
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < rows[r].size(); ++c)
                grid.setCell(c, r + 1, rows[r][c]);
        ASSERT_TRUE(writeProjectFile(grid, table, 0).ok());
    }
    main.openFromCommandLine({table});
    commands->showWindow();
    ASSERT_NE(commands->window(), nullptr);
    commands->window()->setAsOf(QDate(2025, 3, 1));
    commands->addCurrentTable();
    ASSERT_TRUE(commands->lastAdd().has_value());
    EXPECT_EQ(commands->lastAdd()->added, 1);
    EXPECT_EQ(commands->lastAdd()->present, 1);
    EXPECT_EQ(commands->lastAdd()->skipped, 1);
    EXPECT_EQ(told.back().first, "добавлено 1, уже были 1, пропущено 1 (история unit4.qlh)");
    EXPECT_FALSE(told.back().second);
    EXPECT_EQ(sql(history, "SELECT source FROM surveys ORDER BY id DESC LIMIT 1"), "visit5.qlx");
    // The open window shows the new reading at once.
    HistoryWindow* window = commands->window();
    EXPECT_EQ(window->locationsModel()->index(window->locationsModel()->rowOf({1, 1}), 10).data().toString(), "2025-03-01");
    commands->addCurrentTable();
    EXPECT_EQ(commands->lastAdd()->added, 0);
    EXPECT_EQ(commands->lastAdd()->present, 2);

    // The language follows the main window's switch.
    EXPECT_EQ(window->windowTitle(), "История обследований — unit4.qlh");
    main.Lang1Click();
    EXPECT_EQ(window->windowTitle(), "Survey history — unit4.qlh");
    EXPECT_EQ(commands->addAction->text(), "Add the table to the history");
    EXPECT_EQ(window->locationsModel()->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), "Location");
    EXPECT_EQ(window->tabs()->tabText(2), "Surveys");
    main.Lang0Click();
    EXPECT_EQ(window->tabs()->tabText(2), "Обследования");
}
