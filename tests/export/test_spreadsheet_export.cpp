// The workbook as a reader that is not ours (openpyxl) sees it, and the save dialog's rules.

#include "table/archive_columns.h"
#include "base/texts.h"
#include "export/outside_readers.h"
#include "export/spreadsheet_export.h"
#include "support/test_support.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonArray>

#include <gtest/gtest.h>

#include <clocale>
#include <map>
#include <random>

#include <sys/stat.h>
#include <unistd.h>

using namespace quilex;
using quilex::test::TempDir;

namespace {

QString qs(const std::string& s)
{
    return QString::fromStdString(s);
}

QJsonObject sheet(const QJsonObject& book, int index)
{
    return book["sheets"].toArray().at(index).toObject();
}

QJsonObject cellAt(const QJsonObject& sheet, const char* ref)
{
    return sheet["cells"].toObject()[QLatin1String(ref)].toObject();
}

QStringList folderEntries(const std::string& folder)
{
    return QDir(qs(folder)).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

QByteArray fileBytes(const std::string& path)
{
    QFile f(qs(path));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A Russian table of two measurements as the archive download writes it, with the awkward
// cells a sort or a project file can leave.
StringGrid russianTable()
{
    StringGrid grid(8, 4);
    writeArchiveHeader(grid, 0);
    grid.setRow(1, {"1", "Сталь", "5920", "12,50", "3", "1", "07.05.2013", "09:03:00"});
    grid.setRow(2, {"2", "Плексиглас длинное имя", "2670", "NAN", "007", "=1+2", "NAN", "NAN"});
    grid.setRow(3, {"3", " ", "0", "12.50", "-4", "-0", "31.02.2013", "25:00:00"});
    grid.setCell(2, 3, QString()); // an empty cell stays empty
    return grid;
}

class SpreadsheetExport : public ::testing::Test {
protected:
    void SetUp() override { setLanguageIndex(LanguageRussian); }
    void TearDown() override { setLanguageIndex(LanguageRussian); }
    TempDir dir;
};

TEST_F(SpreadsheetExport, CellsBecomeWhatASpreadsheetReadsFromTheTypedTexts)
{
    const StringGrid grid = russianTable();
    const std::string path = dir.file("Arhive.xls"); // the name the user chose, whatever it says
    ASSERT_TRUE(ExportToSpreadsheet(grid, qs(path), QStringLiteral("Архив измерений "), QLocale(QLocale::Russian)).ok());
    EXPECT_TRUE(fileBytes(path).startsWith("PK\x03\x04")); // a zip container, not the old binary format

    // openpyxl goes by the ending; the content is what counts.
    ASSERT_TRUE(QFile::copy(qs(path), qs(path) + ".xlsx"));
    const QJsonObject book = test::readWorkbook(qs(path) + ".xlsx");
    // The archive's sheet, then its statistics.
    ASSERT_EQ(book["sheets"].toArray().size(), 2);
    const QJsonObject s = sheet(book, 0);
    EXPECT_EQ(s["title"].toString(), QStringLiteral("Архив измерений 1"));
    EXPECT_EQ(s["max_row"].toInt(), 4);
    EXPECT_EQ(s["max_col"].toInt(), 8); // column I stays empty

    struct Expected {
        const char* ref;
        QJsonValue value;
        const char* type;
        const char* format;
    };
    const Expected expected[] = {
        {"A1", QStringLiteral("№"), "s", "General"},
        {"C1", QStringLiteral("Скорость звука, м/с"), "s", "General"},
        {"H1", QStringLiteral("Время"), "s", "General"},
        {"A2", 1, "n", "0"},
        {"B2", QStringLiteral("Сталь"), "s", "General"},
        {"C2", 5920, "n", "0"},
        {"D2", 12.5, "n", "0.00"},
        {"G2", QStringLiteral("2013-05-07T00:00:00"), "d", "dd\\.mm\\.yyyy"},
        {"H2", QStringLiteral("09:03:00"), "d", "hh:mm:ss"},
        {"D3", QStringLiteral("NAN"), "s", "General"},
        {"E3", QStringLiteral("007"), "s", "General"}, // a number would show as 7
        {"F3", QStringLiteral("=1+2"), "s", "General"}, // text, never a formula
        {"G3", QStringLiteral("NAN"), "s", "General"},
        {"B4", QStringLiteral(" "), "s", "General"},
        {"C4", QJsonValue(), "", ""}, // empty
        {"A4", 3, "n", "0"},
        {"D4", 12.5, "n", "0.00"}, // a point, as a project made elsewhere holds it, reads too
        {"E4", -4, "n", "0"},
        {"F4", QStringLiteral("-0"), "s", "General"}, // a spreadsheet shows no minus zero
        {"G4", QStringLiteral("31.02.2013"), "s", "General"},
        {"H4", QStringLiteral("25:00:00"), "s", "General"},
    };
    for (const Expected& e : expected) {
        if (e.value.isNull()) {
            EXPECT_FALSE(s["cells"].toObject().contains(QLatin1String(e.ref))) << e.ref;
            continue;
        }
        const QJsonObject c = cellAt(s, e.ref);
        EXPECT_EQ(c["v"], e.value) << e.ref;
        EXPECT_EQ(c["t"].toString(), QLatin1String(e.type)) << e.ref;
        EXPECT_EQ(c["f"].toString(), QLatin1String(e.format)) << e.ref;
        EXPECT_EQ(c["h"].toString(), QLatin1String("center")) << e.ref;
    }
}

TEST_F(SpreadsheetExport, TheAreaIsCentredAndItsColumnsFitTheirTexts)
{
    const std::string path = dir.file("a.xlsx");
    ASSERT_TRUE(ExportToSpreadsheet(russianTable(), qs(path), QStringLiteral("Архив измерений "), QLocale(QLocale::Russian)).ok());
    const QJsonObject cols = sheet(test::readWorkbook(qs(path)), 0)["cols"].toObject();
    // Columns A to I: the eight of the table and the empty one after them.
    for (const char* c : {"A", "B", "C", "D", "E", "F", "G", "H", "I"})
        EXPECT_EQ(cols[QLatin1String(c)].toObject()["h"].toString(), QLatin1String("center")) << c;
    EXPECT_FALSE(cols.contains(QLatin1String("J")));
    auto width = [&](const char* c) { return cols[QLatin1String(c)].toObject()["w"].toDouble(); };
    // "Плексиглас длинное имя" is 22 characters, "Скорость звука, м/с" 19, "№" and digits 1.
    EXPECT_GE(width("B"), 22.0);
    EXPECT_LE(width("B"), 30.0);
    EXPECT_GE(width("C"), 19.0);
    EXPECT_LT(width("A"), width("E"));
    EXPECT_LT(width("C"), width("B"));
    EXPECT_NEAR(width("I"), 9.14, 0.5); // untouched: a spreadsheet's usual width
}

// The unzipped parts of a workbook, by name; the one with the time it was made left out.
std::map<QString, QByteArray> workbookParts(const std::string& path, const TempDir& scratch)
{
    const QString folder = qs(scratch.file("parts"));
    QDir(folder).removeRecursively();
    const test::ToolRun unzip = test::runTool(QStringLiteral("unzip"), {QStringLiteral("-q"), qs(path),
                                                                        QStringLiteral("-d"), folder});
    EXPECT_EQ(unzip.exitCode, 0) << unzip.err.constData();
    std::map<QString, QByteArray> parts;
    QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        const QString name = QDir(folder).relativeFilePath(file);
        if (name == QLatin1String("docProps/core.xml"))
            continue;
        QFile f(file);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        parts[name] = f.readAll();
    }
    return parts;
}

// The process's locale is the user's (the toolkit sets it from the environment); the C library
// then writes "12,5" for 12.5. The workbook must come out the same whatever it is, and read
// right by LibreOffice.
TEST_F(SpreadsheetExport, TheSameWorkbookUnderEveryProcessLocale)
{
    const StringGrid grid = russianTable();
    const std::string inC = dir.file("c.xlsx");
    const std::string inRussian = dir.file("ru.xlsx");
    const char* before = std::setlocale(LC_ALL, nullptr);
    const std::string saved = before ? before : "C";
    ASSERT_NE(std::setlocale(LC_ALL, "C.UTF-8"), nullptr);
    ASSERT_TRUE(ExportToSpreadsheet(grid, qs(inC), QStringLiteral("Архив измерений "), QLocale(QLocale::Russian)).ok());
    ASSERT_NE(std::setlocale(LC_ALL, "ru_RU.UTF-8"), nullptr) << "the ru_RU.UTF-8 locale is not installed";
    ASSERT_TRUE(ExportToSpreadsheet(grid, qs(inRussian), QStringLiteral("Архив измерений "), QLocale(QLocale::Russian)).ok());
    std::setlocale(LC_ALL, saved.c_str());

    TempDir scratch;
    const auto c = workbookParts(inC, scratch);
    const auto russian = workbookParts(inRussian, scratch);
    ASSERT_FALSE(c.empty());
    ASSERT_EQ(c.size(), russian.size());
    for (const auto& [name, bytes] : c) {
        ASSERT_TRUE(russian.count(name)) << name.toStdString();
        EXPECT_TRUE(bytes == russian.at(name)) << name.toStdString() << " differs";
    }
    const QByteArray sheet1 = russian.at(QStringLiteral("xl/worksheets/sheet1.xml"));
    EXPECT_TRUE(sheet1.contains("<v>12.5</v>")) << sheet1.constData();
    EXPECT_FALSE(sheet1.contains("<v>0,")) << sheet1.constData();

    const QList<QStringList> rows = test::readWorkbookWithLibreOffice(qs(inRussian), qs(scratch.path()));
    ASSERT_GE(rows.size(), 2);
    ASSERT_GE(rows[1].size(), 8) << rows[1].join(u'|').toStdString();
    QString thickness = rows[1][3];
    EXPECT_EQ(thickness.replace(u',', u'.'), QStringLiteral("12.50"));
    EXPECT_EQ(rows[1][7], QStringLiteral("09:03:00"));
    EXPECT_EQ(rows[1][2], QStringLiteral("5920"));
}

// After the archive's sheets, which stay as they were, the statistics per series as numbers.
TEST_F(SpreadsheetExport, AStatisticsSheetFollowsTheArchive)
{
    StringGrid grid(8, 5);
    writeArchiveHeader(grid, 0);
    grid.setRow(1, {"1", "Сталь", "5920", "10,00", "1", "1", "07.05.2013", "09:03:00"});
    grid.setRow(2, {"2", "Сталь", "5920", "8,00", "2", "1", "07.05.2013", "09:04:00"});
    grid.setRow(3, {"3", "Сталь", "5920", "NAN", "3", "2", "07.05.2013", "09:05:00"});
    grid.setRow(4, {"4", "Сталь", "5920", "6,50", "4", "2", "07.05.2013", "09:06:00"});
    TableLimits limits;
    limits.table = {1000, 700};
    const std::string path = dir.file("stats.xlsx");
    ASSERT_TRUE(ExportToSpreadsheet(grid, qs(path), QStringLiteral("Архив измерений "), QLocale(QLocale::Russian), limits, 0).ok());
    const QJsonObject book = test::readWorkbook(qs(path));
    ASSERT_EQ(book["sheets"].toArray().size(), 2);
    EXPECT_EQ(sheet(book, 0)["title"].toString(), QStringLiteral("Архив измерений 1"));
    const QJsonObject s = sheet(book, 1);
    EXPECT_EQ(s["title"].toString(), QStringLiteral("Статистика"));
    EXPECT_EQ(cellAt(s, "A1")["v"].toString(), QStringLiteral("Серия"));
    EXPECT_EQ(cellAt(s, "K1")["v"].toString(), QStringLiteral("Остаток стенки, %"));
    // Series 1: 10,00 and 8,00; series 2: 6,50 (and a NAN left out); the whole table last.
    EXPECT_EQ(cellAt(s, "A2")["v"].toDouble(), 1);
    EXPECT_EQ(cellAt(s, "C2")["v"].toDouble(), 8.0);
    EXPECT_EQ(cellAt(s, "C2")["f"].toString(), QStringLiteral("0.00"));
    EXPECT_EQ(cellAt(s, "G2")["v"].toDouble(), 9.0);
    EXPECT_EQ(cellAt(s, "B3")["v"].toDouble(), 1);
    EXPECT_EQ(cellAt(s, "H3")["v"], QJsonValue()); // one reading: no deviation
    EXPECT_EQ(cellAt(s, "J3")["v"].toDouble(), 1); // 6,50 below 7,00
    EXPECT_EQ(cellAt(s, "A4")["v"].toString(), QStringLiteral("Все"));
    EXPECT_EQ(cellAt(s, "K4")["v"].toDouble(), 65.0);

    // A table that is not an archive (no thickness header) gets no such sheet.
    StringGrid other(8, 2);
    other.setRow(0, {"a", "b", "c", "d", "e", "f", "g", "h"});
    other.setRow(1, {"1", "2", "3", "4", "5", "6", "7", "8"});
    ASSERT_TRUE(ExportToSpreadsheet(other, qs(dir.file("other.xlsx")), QStringLiteral("x")).ok());
    EXPECT_EQ(test::readWorkbook(qs(dir.file("other.xlsx")))["sheets"].toArray().size(), 1);
}

TEST_F(SpreadsheetExport, EnglishLocaleAndLanguage)
{
    setLanguageIndex(LanguageEnglish);
    StringGrid grid(8, 2);
    writeArchiveHeader(grid, 1);
    grid.setRow(1, {"1", "Steel", "5920", "12.50", "3", "1", "5/7/13", "23:59:59"});
    const std::string path = dir.file("en.xlsx");
    ASSERT_TRUE(ExportToSpreadsheet(grid, qs(path), QStringLiteral("Archive of measurements "),
                                  QLocale(QLocale::English, QLocale::UnitedStates)).ok());
    const QJsonObject s = sheet(test::readWorkbook(qs(path)), 0);
    EXPECT_EQ(s["title"].toString(), QStringLiteral("Archive of measurements 1"));
    EXPECT_EQ(cellAt(s, "B1")["v"].toString(), QStringLiteral("Material"));
    EXPECT_EQ(cellAt(s, "D2")["v"].toDouble(), 12.5);
    EXPECT_EQ(cellAt(s, "D2")["f"].toString(), QStringLiteral("0.00"));
    // Two-digit years are the gauge's years after 2000; "/" is kept literal, not the reader's
    // own date separator.
    EXPECT_EQ(cellAt(s, "G2")["v"].toString(), QStringLiteral("2013-05-07T00:00:00"));
    EXPECT_EQ(cellAt(s, "G2")["f"].toString(), QStringLiteral("m\\/d\\/yy"));
    EXPECT_EQ(cellAt(s, "H2")["v"].toString(), QStringLiteral("23:59:59"));
}

TEST(SpreadsheetCell, MonthNamesOnlyInEnglishTiedToEnglish)
{
    const QLocale c = QLocale::c(); // "d MMM yyyy"
    const SpreadsheetCell english = spreadsheetCell(QStringLiteral("7 May 2013"), c);
    EXPECT_EQ(english.kind, SpreadsheetCell::Kind::Date);
    EXPECT_EQ(english.value, 41401.0); // days from 30 December 1899
    EXPECT_EQ(english.numberFormat, QStringLiteral("[$-409]d mmm yyyy"));
    EXPECT_EQ(spreadsheetCell(QStringLiteral("7 May 2013 "), c).kind, SpreadsheetCell::Kind::Text);
    EXPECT_EQ(spreadsheetCell(QStringLiteral("1234567890123456"), c).kind, SpreadsheetCell::Kind::Text);
    EXPECT_EQ(spreadsheetCell(QStringLiteral("0.004"), c).numberFormat, QStringLiteral("0.000"));
    EXPECT_EQ(spreadsheetCell(QStringLiteral("1."), c).kind, SpreadsheetCell::Kind::Text);
    EXPECT_EQ(spreadsheetCell(QString(), c).kind, SpreadsheetCell::Kind::Empty);
}

// Numbers are read from their digits, not through the locale: the value must be the very
// double that reading the decimal text gives, up to the 15 digits a cell keeps.
TEST(SpreadsheetCell, NumbersFromTheirDigitsAreTheDecimalReading)
{
    const QLocale russian(QLocale::Russian);
    std::mt19937_64 random(7);
    QStringList texts{"0.1", "0.004", "299.99", "123456789012.345", "999999999999999", "0.000000000000001",
                      "-0.3", "5920", "1.7976931348623"};
    for (int i = 0; i < 2000; ++i) {
        const int digits = 1 + int(random() % 15);
        QString whole = QString::number(1 + random() % 9);
        for (int d = 1; d < digits; ++d)
            whole += QChar(u'0' + int(random() % 10));
        const int point = int(random() % whole.size());
        texts << (point == 0 ? whole : whole.left(point) + u'.' + whole.mid(point));
    }
    for (const QString& text : texts) {
        SCOPED_TRACE(text.toStdString());
        const SpreadsheetCell c = spreadsheetCell(text, QLocale::c());
        ASSERT_EQ(c.kind, SpreadsheetCell::Kind::Number);
        EXPECT_EQ(c.value, text.toDouble());
        const qsizetype point = text.indexOf(u'.');
        EXPECT_EQ(c.numberFormat, point < 0 ? QStringLiteral("0") : QStringLiteral("0.") + QString(text.size() - point - 1, u'0'));
        // The Russian table writes the same number with a comma.
        const SpreadsheetCell r = spreadsheetCell(QString(text).replace(u'.', u','), russian);
        EXPECT_EQ(r.kind, SpreadsheetCell::Kind::Number);
        EXPECT_EQ(r.value, c.value);
    }
    // Times are exactly two digits each of a time of day.
    EXPECT_EQ(spreadsheetCell(QStringLiteral("23:59:59"), QLocale::c()).value, 86399 / 86400.0);
    EXPECT_EQ(spreadsheetCell(QStringLiteral("00:00:00"), QLocale::c()).kind, SpreadsheetCell::Kind::Time);
    for (const char* notTime : {"24:00:00", "12:60:00", "12:00:60", "9:03:000", "09-03-00", "0a:00:00", "+9:03:00"})
        EXPECT_EQ(spreadsheetCell(QString::fromLatin1(notTime), QLocale::c()).kind, SpreadsheetCell::Kind::Text)
            << notTime;
}

// The parts of the workbook are deflated at zlib's fastest level: bits 1 and 2 of each local
// header's flags say so (both set), and the method is 8, deflate.
TEST_F(SpreadsheetExport, PartsAreDeflatedAtTheFastestLevel)
{
    const std::string path = dir.file("fast.xlsx");
    ASSERT_TRUE(ExportToSpreadsheet(russianTable(), qs(path), QStringLiteral("Архив измерений "), QLocale(QLocale::Russian)).ok());
    const QByteArray bytes = fileBytes(path);
    int headers = 0;
    for (qsizetype at = bytes.indexOf("PK\x03\x04"); at >= 0 && at + 30 <= bytes.size();
         at = bytes.indexOf("PK\x03\x04", at + 4)) {
        const auto byte = [&](qsizetype i) { return static_cast<unsigned char>(bytes[at + i]); };
        const unsigned flags = byte(6) | byte(7) << 8;
        const unsigned method = byte(8) | byte(9) << 8;
        const QByteArray name = bytes.mid(at + 30, byte(26) | byte(27) << 8);
        EXPECT_EQ(method, 8u) << name.constData();
        EXPECT_EQ(flags & 6u, 6u) << name.constData();
        ++headers;
    }
    EXPECT_GE(headers, 8); // content types, relations, workbook, styles, one sheet and the rest
}

// Table row r lands in row r mod 65535 + 1 of worksheet r div 65535 + 1.
TEST_F(SpreadsheetExport, SplitsAt65535RowsPerWorksheet)
{
    for (int rows : {65535, 65536}) {
        SCOPED_TRACE(rows);
        StringGrid grid(2, rows);
        grid.setCell(0, 0, QStringLiteral("№"));
        grid.setCell(1, 0, QStringLiteral("Материал"));
        for (int r = 1; r < rows; ++r) {
            grid.setCell(0, r, QString::number(r));
            grid.setCell(1, r, QStringLiteral("m"));
        }
        const std::string path = dir.file("big.xlsx");
        ASSERT_TRUE(ExportToSpreadsheet(grid, qs(path), QStringLiteral("Архив измерений "), QLocale::c()).ok());
        const QJsonObject book = test::readWorkbook(qs(path), QStringLiteral("1,2,65535,65536"));
        const QJsonArray sheets = book["sheets"].toArray();
        ASSERT_EQ(sheets.size(), rows == 65535 ? 1 : 2);
        const QJsonObject first = sheets.at(0).toObject();
        EXPECT_EQ(first["title"].toString(), QStringLiteral("Архив измерений 1"));
        EXPECT_EQ(first["max_row"].toInt(), 65535);
        EXPECT_EQ(cellAt(first, "A1")["v"].toString(), QStringLiteral("№"));
        EXPECT_EQ(cellAt(first, "A65535")["v"].toInt(), 65534);
        EXPECT_TRUE(cellAt(first, "A65536").isEmpty());
        if (rows == 65536) {
            const QJsonObject second = sheets.at(1).toObject();
            EXPECT_EQ(second["title"].toString(), QStringLiteral("Архив измерений 2"));
            EXPECT_EQ(second["max_row"].toInt(), 1);
            EXPECT_EQ(cellAt(second, "A1")["v"].toInt(), 65535); // no header row on later sheets
            EXPECT_EQ(cellAt(second, "B1")["v"].toString(), QStringLiteral("m"));
        }
    }
}

TEST_F(SpreadsheetExport, ReplacesAnExistingFileKeepingItsPermissions)
{
    const std::string path = dir.file("old.xlsx");
    {
        QFile old(qs(path));
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(100000, 'x'));
    }
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    const StringGrid grid = russianTable();
    const StringGrid before = grid;
    ASSERT_TRUE(ExportToSpreadsheet(grid, qs(path), QStringLiteral("Архив измерений "), QLocale(QLocale::Russian)).ok());
    EXPECT_EQ(sheet(test::readWorkbook(qs(path)), 0)["max_row"].toInt(), 4);
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(folderEntries(dir.path()), QStringList{QStringLiteral("old.xlsx")}); // no temporary file left
    for (int r = 0; r < grid.rowCount(); ++r)
        EXPECT_EQ(grid.row(r), before.row(r)); // the table is only read
}

TEST_F(SpreadsheetExport, FailuresLeaveNothingBehindAndSayExportFailed)
{
    // A folder that cannot exist: its parent is a regular file (root is stopped by this too).
    const std::string file = dir.file("plain");
    {
        QFile f(qs(file));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("keep");
    }
    const auto written =
        ExportToSpreadsheet(russianTable(), qs(file + "/out.xlsx"), QStringLiteral("Архив измерений "), QLocale::c());
    ASSERT_FALSE(written.ok());
    EXPECT_EQ(written.error(), QStringLiteral("Экспорт данных - Ошибка !!!"));
    EXPECT_FALSE(written.detail().isEmpty());

    // A failure half-way (a sheet name a workbook cannot hold) leaves the old file as it was.
    setLanguageIndex(LanguageEnglish);
    const std::string path = dir.file("kept.xlsx");
    {
        QFile f(qs(path));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("the user's old file");
    }
    EXPECT_EQ(ExportToSpreadsheet(russianTable(), qs(path), QStringLiteral("bad:[name]"), QLocale::c()).error(),
              QStringLiteral("Export of the data - Error !!!"));
    EXPECT_EQ(fileBytes(path), QByteArray("the user's old file"));
    EXPECT_EQ(folderEntries(dir.path()), (QStringList{QStringLiteral("kept.xlsx"), QStringLiteral("plain")}));

    // Without write permission on the folder, for a user that permissions stop.
    if (::geteuid() != 0) {
        const std::string locked = dir.file("locked");
        ASSERT_EQ(::mkdir(locked.c_str(), 0500), 0);
        EXPECT_FALSE(ExportToSpreadsheet(russianTable(), qs(locked + "/a.xlsx"), QStringLiteral("A "), QLocale::c()).ok());
        EXPECT_TRUE(folderEntries(locked).isEmpty());
        ::chmod(locked.c_str(), 0700);
    }
}

TEST(SaveDialog, FilterTypeChangeAndTableCheck)
{
    // The workbook type is the first and the one selected; no type promises the old binary format.
    EXPECT_EQ(QString::fromUtf16(SpreadsheetFilter), QStringLiteral("Exel 2007|*.xlsx|All Files|*.*"));
    EXPECT_EQ(spreadsheetNameFilters(), (QStringList{QStringLiteral("Exel 2007 (*.xlsx)"), QStringLiteral("All Files (*.*)")}));
    EXPECT_EQ(QString::fromUtf16(SpreadsheetInitialFileName), QStringLiteral("Arhive.xlsx"));

    // Appends unless the extension is anywhere in the name; never removes anything.
    EXPECT_EQ(spreadsheetFileNameForType("/home/u/Arhive.xls", 1), QStringLiteral("/home/u/Arhive.xls.xlsx"));
    EXPECT_EQ(spreadsheetFileNameForType("/home/u/Arhive.xlsx", 1), QStringLiteral("/home/u/Arhive.xlsx"));
    EXPECT_EQ(spreadsheetFileNameForType("/home/u/Arhive", 1), QStringLiteral("/home/u/Arhive.xlsx"));
    EXPECT_EQ(spreadsheetFileNameForType("/home/u/Arhive", 2), QStringLiteral("/home/u/Arhive"));
    EXPECT_EQ(spreadsheetFileNameForType("/a.xlsx.d/Arhive", 1), QStringLiteral("/a.xlsx.d/Arhive")); // substring rule
    EXPECT_EQ(spreadsheetFileNameForType("/home/u/Arhive.XLSX", 1), QStringLiteral("/home/u/Arhive.XLSX.xlsx"));

    StringGrid grid(8, 9);
    grid.setCell(1, 1, QStringLiteral("Сталь")); // data, but no number in row 1
    setLanguageIndex(LanguageRussian);
    EXPECT_EQ(spreadsheetTableCheck(grid).error(), QStringLiteral("Архив не считан!"));
    setLanguageIndex(LanguageEnglish);
    EXPECT_EQ(spreadsheetTableCheck(grid).error(), QStringLiteral("Archive not read!"));
    grid.setCell(0, 1, QStringLiteral("1"));
    EXPECT_TRUE(spreadsheetTableCheck(grid).ok());
    setLanguageIndex(LanguageRussian);
}

} // namespace
