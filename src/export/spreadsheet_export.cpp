#include "export/spreadsheet_export.h"

#include "table/table_texts.h"

#include "base/c_numeric_locale.h"
#include "table/cell_values.h"
#include "table/archive_columns.h"
#include "table/main_window_texts.h"
#include "table/statistics.h"
#include "table/table_values.h"
#include "export/file_replace.h"

#include <QDate>
#include <QFile>
#include <QHash>

#include <xlsxwriter.h>

#include <dlfcn.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <vector>

namespace quilex {

namespace {

// ---- what a typed text becomes ---------------------------------------------------------------

QString numberFormatFor(int fractionDigits)
{
    return fractionDigits == 0 ? QStringLiteral("0") : QStringLiteral("0.") + QString(fractionDigits, u'0');
}

bool namesAreEnglish(const QLocale& locale)
{
    return locale.language() == QLocale::C || locale.language() == QLocale::English;
}

// The locale's date format in a spreadsheet's terms, or nothing when it has parts that the
// spreadsheet would not show in the same way. Day and month names are only taken in English,
// with the format tied to English names ([$-409]) so that a spreadsheet of another language
// still shows the table's text. Every other character is kept as a literal.
std::optional<QString> spreadsheetDateFormat(const QString& qtFormat, const QLocale& locale)
{
    QString out;
    bool names = false;
    for (qsizetype i = 0; i < qtFormat.size();) {
        const QChar c = qtFormat[i];
        if (c == u'\'') {
            const qsizetype end = qtFormat.indexOf(u'\'', i + 1);
            if (end < 0)
                return std::nullopt;
            if (end == i + 1) {
                out += QStringLiteral("\\'");
            } else {
                const QString literal = qtFormat.mid(i + 1, end - i - 1);
                if (literal.contains(u'"'))
                    return std::nullopt;
                out += u'"' + literal + u'"';
            }
            i = end + 1;
            continue;
        }
        if (c == u'd' || c == u'M' || c == u'y') {
            qsizetype run = 1;
            while (i + run < qtFormat.size() && qtFormat[i + run] == c)
                ++run;
            if (c == u'y') {
                if (run != 2 && run != 4)
                    return std::nullopt;
                out += QString(run, u'y');
            } else {
                if (run > 4)
                    return std::nullopt;
                if (run >= 3)
                    names = true;
                out += QString(run, c == u'd' ? u'd' : u'm');
            }
            i += run;
            continue;
        }
        if (c.isLetter())
            return std::nullopt; // anything else that would be read as a code
        if (c == u' ')
            out += c;
        else
            out += u'\\' + QString(c);
        ++i;
    }
    if (names) {
        if (!namesAreEnglish(locale))
            return std::nullopt;
        out = QStringLiteral("[$-409]") + out;
    }
    return out;
}

// Reads cell texts as a spreadsheet program reads what is typed in: numbers (with "," or "."),
// dates in the locale's short format and "hh:mm:ss" times become values, each with the format
// that shows it again as the table shows it; the reading is the table's one reader's.
class CellTyping {
public:
    explicit CellTyping(const QLocale& locale)
        : reader_(locale), spreadsheetDateFormat_(spreadsheetDateFormat(reader_.shortDateFormat(), locale))
    {
    }

    // Only a number the spreadsheet writes again in the same digits: no leading zeros, no
    // minus zero.
    std::optional<DecimalNumber> number(QStringView text) const
    {
        auto n = reader_.decimal(text);
        return n && n->canonical ? n : std::nullopt;
    }

    // What a cell of an archive column becomes, from the value its text was read as, when that
    // settles it: a plainly written whole number, a plain decimal thickness, a date or a time.
    // Nothing where the text has to be typed as any other text is.
    std::optional<SpreadsheetCell> cellFromValues(const ArchiveValues& v, int column) const
    {
        namespace c = archive_column;
        SpreadsheetCell cell;
        switch (column) {
        case c::Record:
        case c::SoundSpeed:
        case c::Number:
        case c::Series: {
            const auto& value = column == c::Record       ? v.recordNumber
                                : column == c::SoundSpeed ? v.soundSpeed
                                : column == c::Number     ? v.number
                                                          : v.series;
            if (!value || !v.plainWholeNumber(column))
                return std::nullopt;
            cell.kind = SpreadsheetCell::Kind::Number;
            cell.value = double(*value);
            return cell;
        }
        case c::Thickness:
            if (!v.thickness || v.thicknessDecimals < 0)
                return std::nullopt;
            // The same double as the digits over their power of ten: one rounding of one number.
            cell.kind = SpreadsheetCell::Kind::Number;
            cell.value = double(*v.thickness) / 100.0;
            cell.numberFormat = numberFormatFor(v.thicknessDecimals);
            return cell;
        case c::Date:
            if (!v.date || !spreadsheetDateFormat_ || *v.date < QDate(1900, 3, 1) || *v.date > QDate(9999, 12, 31))
                return std::nullopt;
            cell.kind = SpreadsheetCell::Kind::Date;
            cell.value = double(QDate(1899, 12, 30).daysTo(*v.date));
            cell.numberFormat = *spreadsheetDateFormat_;
            return cell;
        case c::Time:
            if (!v.secondsOfDay)
                return std::nullopt;
            cell.kind = SpreadsheetCell::Kind::Time;
            cell.value = *v.secondsOfDay / 86400.0;
            cell.numberFormat = QStringLiteral("hh:mm:ss");
            return cell;
        default:
            return std::nullopt;
        }
    }

    SpreadsheetCell cell(const QString& text) const
    {
        SpreadsheetCell cell;
        if (text.isEmpty())
            return cell;
        if (const auto n = number(text)) {
            cell.kind = SpreadsheetCell::Kind::Number;
            cell.value = n->value;
            cell.numberFormat = numberFormatFor(n->fractionDigits);
        } else if (const auto t = CellReader::secondsOfDay(text)) {
            cell.kind = SpreadsheetCell::Kind::Time;
            cell.value = *t / 86400.0;
            cell.numberFormat = QStringLiteral("hh:mm:ss");
        } else if (const auto d = dayNumber(text)) {
            cell.kind = SpreadsheetCell::Kind::Date;
            cell.value = *d;
            cell.numberFormat = *spreadsheetDateFormat_;
        } else {
            cell.kind = SpreadsheetCell::Kind::Text;
        }
        return cell;
    }

private:
    // Days since 1899-12-30 of a date written in the locale's short format.
    std::optional<double> dayNumber(const QString& text) const
    {
        if (!spreadsheetDateFormat_)
            return std::nullopt;
        const auto date = reader_.date(text);
        // Before March 1900 a spreadsheet's day numbers go their own way; no gauge date is there.
        if (!date || *date < QDate(1900, 3, 1) || *date > QDate(9999, 12, 31))
            return std::nullopt;
        return double(QDate(1899, 12, 30).daysTo(*date));
    }

    CellReader reader_;
    std::optional<QString> spreadsheetDateFormat_;
};

// ---- the workbook ----------------------------------------------------------------------------

// Column widths in the spreadsheet's character units, fitted to the longest text as the
// spreadsheet's own fit would roughly make them for its default font.
double fittedWidth(qsizetype characters)
{
    return std::min(255.0, 1.1 * double(characters) + 1.5);
}

qsizetype characterCount(const QString& text)
{
    qsizetype n = text.size();
    for (QChar c : text)
        if (c.isLowSurrogate())
            --n;
    return n;
}

class Workbook {
public:
    explicit Workbook(const QByteArray& fileName)
    {
        lxw_workbook_options options{};
        options.constant_memory = LXW_TRUE;
        book_ = workbook_new_opt(fileName.constData(), &options);
    }
    ~Workbook()
    {
        if (book_)
            lxw_workbook_free(book_);
    }
    Workbook(const Workbook&) = delete;
    Workbook& operator=(const Workbook&) = delete;

    bool valid() const { return book_ != nullptr; }
    lxw_workbook* get() const { return book_; }

    // Writes the file and frees the workbook, whatever the outcome.
    lxw_error close()
    {
        lxw_workbook* book = book_;
        book_ = nullptr;
        return workbook_close(book);
    }

    // Every format centres its cell; they differ in their number format only.
    lxw_format* format(const QString& numberFormat)
    {
        auto found = formats_.find(numberFormat);
        if (found != formats_.end())
            return found->second;
        lxw_format* f = workbook_add_format(book_);
        if (!f)
            return nullptr;
        format_set_align(f, LXW_ALIGN_CENTER);
        if (!numberFormat.isEmpty())
            format_set_num_format(f, numberFormat.toUtf8().constData());
        formats_.emplace(numberFormat, f);
        return f;
    }

private:
    lxw_workbook* book_ = nullptr;
    std::map<QString, lxw_format*> formats_;
};

struct Failure {
    QString reason;
};

QString libraryError(const char* what, lxw_error error)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromUtf8(lxw_strerror(error)));
}

// Writes the cells of one workbook. Numbers are read straight from their digits; every other
// text is typed once and kept with its format or its UTF-8 bytes, for the material names, dates
// and times that come again and again in an archive.
class CellWriter {
public:
    CellWriter(Workbook& book, const QLocale& locale) : book_(book), typing_(locale) {}

    // A cell whose value is settled by the row's values (CellTyping::cellFromValues).
    std::optional<Failure> write(lxw_worksheet* sheet, lxw_row_t row, lxw_col_t col, const SpreadsheetCell& cell)
    {
        lxw_format* f = nullptr;
        if (cell.kind == SpreadsheetCell::Kind::Number) {
            const auto decimals = std::size_t(cell.numberFormat.isEmpty() ? 0 : cell.numberFormat.size() - 2);
            lxw_format*& kept = numberFormats_[std::min(decimals, numberFormats_.size() - 1)];
            if (!kept)
                kept = book_.format(numberFormatFor(int(decimals)));
            f = kept;
        } else {
            f = book_.format(cell.numberFormat);
        }
        if (!f)
            return Failure{QStringLiteral("cannot add a cell format")};
        if (lxw_error e = worksheet_write_number(sheet, row, col, cell.value, f))
            return Failure{libraryError("cell", e)};
        return std::nullopt;
    }

    const CellTyping& typing() const { return typing_; }

    std::optional<Failure> write(lxw_worksheet* sheet, lxw_row_t row, lxw_col_t col, const QString& text)
    {
        lxw_error e = LXW_NO_ERROR;
        if (const auto n = typing_.number(text)) {
            lxw_format*& f = numberFormats_[std::size_t(n->fractionDigits)];
            if (!f && !(f = book_.format(numberFormatFor(n->fractionDigits))))
                return Failure{QStringLiteral("cannot add a cell format")};
            e = worksheet_write_number(sheet, row, col, n->value, f);
        } else {
            const Typed* typed = typedText(text);
            if (!typed)
                return Failure{QStringLiteral("cannot add a cell format")};
            if (typed->isText)
                e = worksheet_write_string(sheet, row, col, typed->utf8.constData(), typed->format);
            else
                e = worksheet_write_number(sheet, row, col, typed->value, typed->format);
        }
        if (e != LXW_NO_ERROR)
            return Failure{libraryError("cell", e)};
        return std::nullopt;
    }

private:
    struct Typed {
        bool isText = false;
        QByteArray utf8; // a text
        double value = 0; // a date or a time
        lxw_format* format = nullptr;
    };

    const Typed* typedText(const QString& text)
    {
        if (auto found = typed_.constFind(text); found != typed_.constEnd())
            return &found.value();
        const SpreadsheetCell cell = typing_.cell(text);
        Typed typed;
        typed.isText = cell.kind == SpreadsheetCell::Kind::Text;
        if (typed.isText)
            typed.utf8 = text.toUtf8();
        else
            typed.value = cell.value;
        if (!(typed.format = book_.format(typed.isText ? QString() : cell.numberFormat)))
            return nullptr;
        // A table of texts that never come again keeps no more than this many.
        if (typed_.size() >= MaxKept) {
            spare_ = std::move(typed);
            return &spare_;
        }
        return &typed_.insert(text, std::move(typed)).value();
    }

    static constexpr qsizetype MaxKept = 1 << 16;
    Workbook& book_;
    CellTyping typing_;
    std::array<lxw_format*, 16> numberFormats_{};
    QHash<QString, Typed> typed_;
    Typed spare_;
};

// One worksheet: table rows first .. first + RowsPerSheet - 1 (those below RowCount). The
// cells of the archive's columns are written from the rows' values where those settle them.
std::optional<Failure> writeSheet(Workbook& book, CellWriter& cells, const StringGrid& grid, const TableValues* values,
                                  int first, int number, const QString& sheetTitle)
{
    const QString name = sheetTitle + QString::number(number);
    lxw_worksheet* sheet = workbook_add_worksheet(book.get(), name.toUtf8().constData());
    if (!sheet)
        return Failure{QStringLiteral("cannot add a worksheet named \"%1\"").arg(name)};

    const int cols = grid.colCount();
    const int last = std::min(grid.rowCount(), first + RowsPerSheet); // one past
    lxw_format* centred = book.format(QString());
    if (!centred)
        return Failure{QStringLiteral("cannot add a cell format")};

    // Widths first: the columns of the area carry the centring too, so that its empty cells
    // are centred as well. The last column of the area stays empty and keeps the usual width.
    for (int col = 0; col <= cols; ++col) {
        qsizetype longest = 0;
        if (col < cols)
            for (int row = first; row < last; ++row)
                longest = std::max(longest, characterCount(grid.cell(col, row)));
        const double width = longest > 0 ? fittedWidth(longest) : LXW_DEF_COL_WIDTH;
        if (lxw_error e = worksheet_set_column(sheet, lxw_col_t(col), lxw_col_t(col), width, centred))
            return Failure{libraryError("column", e)};
    }

    // In constant-memory mode rows go out in order, each row's cells from left to right.
    for (int row = first; row < last; ++row) {
        const ArchiveValues* rowValues = values ? &values->row(row) : nullptr;
        for (int col = 0; col < cols; ++col) {
            const QString& text = grid.cell(col, row);
            if (text.isEmpty())
                continue;
            std::optional<Failure> failed;
            if (const auto typed = rowValues ? cells.typing().cellFromValues(*rowValues, col) : std::nullopt)
                failed = cells.write(sheet, lxw_row_t(row - first), lxw_col_t(col), *typed);
            else
                failed = cells.write(sheet, lxw_row_t(row - first), lxw_col_t(col), text);
            if (failed) {
                failed->reason += QStringLiteral(" (row %1, column %2)").arg(row).arg(col);
                return failed;
            }
        }
    }
    return std::nullopt;
}

// The statistics of the archive on a sheet of their own: the header as texts, the figures as
// numbers shown with two decimals (thicknesses) or one (percents), record numbers and counts as
// whole numbers, the whole table's row last. With limits, each row also gives the nominal and the
// minimum its figures were judged against (a series' own, or else the whole table's), in
// millimetres as the other thicknesses.
std::optional<Failure> writeStatisticsSheet(Workbook& book, CellWriter& cells, const TableValues& values,
                                            const TableLimits& limits, int languageIndex, const QLocale& locale)
{
    const QString name = statisticsSheetName(languageIndex);
    lxw_worksheet* sheet = workbook_add_worksheet(book.get(), name.toUtf8().constData());
    if (!sheet)
        return Failure{QStringLiteral("cannot add a worksheet named \"%1\"").arg(name)};
    const ArchiveStatistics statistics = computeStatistics(values.dataRows(), limits);
    StatisticsTable table = statisticsTable(statistics, languageIndex);
    if (statistics.anyLimits) {
        table.header << statisticsLimitsHeader(languageIndex);
        auto judged = [](std::optional<std::int32_t> limit) {
            return limit ? StatisticsCell(*limit / 100.0) : StatisticsCell();
        };
        for (std::size_t r = 0; r < table.rows.size(); ++r) {
            const SeriesStatistics& s = r < statistics.series.size() ? statistics.series[r] : statistics.all;
            table.rows[r].push_back(judged(s.limits.nominal));
            table.rows[r].push_back(judged(s.limits.minimum));
        }
    }
    lxw_format* centred = book.format(QString());
    lxw_format* thickness = book.format(QStringLiteral("0.00"));
    lxw_format* percent = book.format(QStringLiteral("0.0"));
    lxw_format* whole = book.format(QStringLiteral("0"));
    if (!centred || !thickness || !percent || !whole)
        return Failure{QStringLiteral("cannot add a cell format")};
    for (int col = 0; col < table.header.size(); ++col) {
        qsizetype longest = characterCount(table.header[col]);
        for (const auto& row : table.rows)
            longest = std::max(longest, characterCount(statisticsCellText(row[size_t(col)], col, locale)));
        if (lxw_error e = worksheet_set_column(sheet, lxw_col_t(col), lxw_col_t(col), fittedWidth(longest), centred))
            return Failure{libraryError("column", e)};
    }
    for (int col = 0; col < table.header.size(); ++col)
        if (lxw_error e = worksheet_write_string(sheet, 0, lxw_col_t(col), table.header[col].toUtf8().constData(), centred))
            return Failure{libraryError("cell", e)};
    for (std::size_t r = 0; r < table.rows.size(); ++r) {
        const lxw_row_t row = lxw_row_t(r + 1);
        for (std::size_t c = 0; c < table.rows[r].size(); ++c) {
            const StatisticsCell& cell = table.rows[r][c];
            const int column = int(c);
            lxw_error e = LXW_NO_ERROR;
            if (const auto* number = std::get_if<double>(&cell))
                e = worksheet_write_number(sheet, row, lxw_col_t(c), *number,
                                           isPercentColumn(column) ? percent : thickness);
            else if (const auto* count = std::get_if<std::int64_t>(&cell))
                e = worksheet_write_number(sheet, row, lxw_col_t(c), double(*count), whole);
            else if (const auto* text = std::get_if<QString>(&cell)) {
                if (auto failed = cells.write(sheet, row, lxw_col_t(c), *text))
                    return failed;
            }
            if (e != LXW_NO_ERROR)
                return Failure{libraryError("cell", e)};
        }
    }
    return std::nullopt;
}

} // namespace

QString statisticsSheetName(int languageIndex)
{
    return Text(table_texts::StatisticsSheet, std::uint8_t(languageIndex));
}

QStringList spreadsheetNameFilters()
{
    const QStringList parts = QString::fromUtf16(SpreadsheetFilter).split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        filters << QStringLiteral("%1 (%2)").arg(parts[i], parts[i + 1]);
    return filters;
}

QString spreadsheetFileNameForType(const QString& fileName, int filterIndex)
{
    const QString extension = QStringLiteral(".xlsx");
    if (filterIndex != 1 || fileName.contains(extension, Qt::CaseSensitive))
        return fileName;
    return fileName + extension;
}

Result<void> spreadsheetTableCheck(const StringGrid& grid)
{
    if (grid.isEmptyTable())
        return fail(Text(MainText::ArchiveNotRead));
    return done();
}

SpreadsheetCell spreadsheetCell(const QString& text, const QLocale& locale)
{
    return CellTyping(locale).cell(text);
}

std::optional<SpreadsheetCell> spreadsheetCell(const ArchiveValues& row, int column, const QLocale& locale)
{
    return CellTyping(locale).cellFromValues(row, column);
}

Result<void> ExportToSpreadsheet(const StringGrid& grid, const QString& path, const QString& sheetTitle,
                                 const QLocale& locale, const TableLimits& limits, int statisticsLanguage,
                                 const TableValues* values)
{
    // Values read in another locale, or of another grid, do not say what these texts are: the
    // workbook reads them once itself.
    std::optional<TableValues> ownValues;
    if (!values || &values->grid() != &grid || values->cells().locale() != locale)
        values = &ownValues.emplace(grid, locale, TableValues::Unwatched{});
    const auto fail = [](const QString& why) { return quilex::fail(Text(MainText::ExportError), why); };

    ReplacingFile target(path);
    if (!target.prepare())
        return fail(target.errorString());
    {
        // The workbook library writes its numbers with printf: in C's form, whatever the locale.
        const CNumericLocale cNumbers;
        Workbook book(QFile::encodeName(target.temporaryPath()));
        if (!book.valid())
            return fail(QStringLiteral("cannot start the workbook"));
        CellWriter cells(book, locale);
        int number = 1;
        for (int first = 0; first < grid.rowCount(); first += RowsPerSheet, ++number)
            if (auto failed = writeSheet(book, cells, grid, values, first, number, sheetTitle))
                return fail(failed->reason);
        // An archive gets its statistics too: a table whose thickness column has its header.
        const int thickness = archive_column::Thickness;
        const QString thicknessHeader = grid.cell(thickness, 0);
        if (grid.colCount() >= ArchiveColumnCount && !grid.isEmptyTable() &&
            (thicknessHeader == archiveHeaderTexts(0)[thickness] || thicknessHeader == archiveHeaderTexts(1)[thickness])) {
            const int language = statisticsLanguage >= 0 ? statisticsLanguage : int(languageIndex());
            if (auto failed = writeStatisticsSheet(book, cells, *values, limits, language, locale))
                return fail(failed->reason);
        }
        if (lxw_error e = book.close())
            return fail(libraryError("saving", e));
    }
    if (!target.commit())
        return fail(target.errorString());
    return done();
}

} // namespace quilex

// ---- the deflate level -----------------------------------------------------------------------
//
// The workbook library zips its parts at zlib's default level, and for a large archive that
// compression is half of all the time the export takes. At the fastest level the workbook is
// written in two thirds of the time and comes out about a third larger (6 MB instead of 4.5 MB
// for 100,000 rows), which nobody opening it notices. The library has no setting for it, so
// the program keeps the one zip function it calls, asks for the fastest level and hands on to
// the real one. A library that carries its own copy of the zip code is simply not affected.

extern "C" {

using ZipOpenNewFile = int (*)(void*, const char*, const void*, const void*, unsigned, const void*, unsigned,
                               const char*, int, int, int, int, int, int, const char*, unsigned long,
                               unsigned long, unsigned long, int);

__attribute__((visibility("default"))) int
zipOpenNewFileInZip4_64(void* file, const char* fileName, const void* fileInfo, const void* extraLocal,
                        unsigned extraLocalSize, const void* extraGlobal, unsigned extraGlobalSize,
                        const char* comment, int method, int level, int raw, int windowBits, int memLevel,
                        int strategy, const char* password, unsigned long crcForCrypting,
                        unsigned long versionMadeBy, unsigned long flagBase, int zip64)
{
    static const auto next = reinterpret_cast<ZipOpenNewFile>(dlsym(RTLD_NEXT, "zipOpenNewFileInZip4_64"));
    if (!next)
        return -104; // ZIP_INTERNALERROR: no zip library below us
    constexpr int FastestDeflate = 1;
    if (level != 0)
        level = FastestDeflate; // 0 stores a part unpacked: left as asked
    return next(file, fileName, fileInfo, extraLocal, extraLocalSize, extraGlobal, extraGlobalSize, comment,
                method, level, raw, windowBits, memLevel, strategy, password, crcForCrypting, versionMadeBy,
                flagBase, zip64);
}

} // extern "C"
