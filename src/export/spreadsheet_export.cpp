#include "export/spreadsheet_export.h"

#include "app/main_window_texts.h"
#include "export/file_replace.h"

#include <QDate>
#include <QFile>
#include <QTime>

#include <xlsxwriter.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

namespace quilex {

namespace {

// ---- what a typed text becomes ---------------------------------------------------------------

bool isAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// A number as the table writes it: an optional minus sign, digits, and optionally the locale's
// decimal separator followed by digits. Only texts that a spreadsheet would show again in the
// very same form count: no leading zeros ("007" would show as 7), no minus zero, no more
// digits than a double keeps, no group separators, exponents or plus signs.
SpreadsheetCell numberCell(const QString& text, const QLocale& locale)
{
    const QString minus = locale.negativeSign();
    const QString point = locale.decimalPoint();
    QStringView rest(text);
    bool negative = false;
    if (!minus.isEmpty() && rest.startsWith(minus)) {
        negative = true;
        rest = rest.mid(minus.size());
    } else if (rest.startsWith(u'-')) {
        negative = true;
        rest = rest.mid(1);
    }
    QStringView whole = rest;
    QStringView fraction;
    const qsizetype at = point.isEmpty() ? -1 : rest.indexOf(point);
    if (at >= 0) {
        whole = rest.left(at);
        fraction = rest.mid(at + point.size());
        if (fraction.isEmpty())
            return {};
    }
    if (whole.isEmpty() || !std::all_of(whole.begin(), whole.end(), isAsciiDigit)
        || !std::all_of(fraction.begin(), fraction.end(), isAsciiDigit))
        return {};
    if (whole.size() > 1 && whole.front() == u'0')
        return {};
    const qsizetype significant = (whole == u"0" ? 0 : whole.size()) + fraction.size();
    if (significant > 15)
        return {};
    const QString plain = whole.toString() + (fraction.isEmpty() ? QString() : u'.' + fraction.toString());
    bool ok = false;
    double value = plain.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return {};
    if (negative) {
        if (value == 0)
            return {}; // a spreadsheet shows no minus zero
        value = -value;
    }
    SpreadsheetCell cell;
    cell.kind = SpreadsheetCell::Kind::Number;
    cell.value = value;
    cell.numberFormat = fraction.isEmpty() ? QStringLiteral("0") : QStringLiteral("0.") + QString(fraction.size(), u'0');
    return cell;
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

SpreadsheetCell dateCell(const QString& text, const QLocale& locale)
{
    const QString format = locale.dateFormat(QLocale::ShortFormat);
    QDate date = locale.toDate(text, format);
    if (!date.isValid())
        return {};
    // Two-digit years read as 19xx; the gauge's dates are all after 2000.
    if (format.contains(QLatin1String("yy")) && !format.contains(QLatin1String("yyyy")) && date.year() < 2000)
        date = date.addYears(100);
    if (locale.toString(date, format) != text)
        return {};
    // Before March 1900 a spreadsheet's day numbers go their own way; no gauge date is there.
    if (date < QDate(1900, 3, 1) || date > QDate(9999, 12, 31))
        return {};
    const auto excelFormat = spreadsheetDateFormat(format, locale);
    if (!excelFormat)
        return {};
    SpreadsheetCell cell;
    cell.kind = SpreadsheetCell::Kind::Date;
    cell.value = double(QDate(1899, 12, 30).daysTo(date));
    cell.numberFormat = *excelFormat;
    return cell;
}

SpreadsheetCell timeCell(const QString& text)
{
    if (text.size() != 8)
        return {};
    const QTime time = QTime::fromString(text, QStringLiteral("hh:mm:ss"));
    if (!time.isValid() || time.toString(QStringLiteral("hh:mm:ss")) != text)
        return {};
    SpreadsheetCell cell;
    cell.kind = SpreadsheetCell::Kind::Time;
    cell.value = time.msecsSinceStartOfDay() / 86400000.0;
    cell.numberFormat = QStringLiteral("hh:mm:ss");
    return cell;
}

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

// One worksheet: table rows first .. first + RowsPerSheet - 1 (those below RowCount).
std::optional<Failure> writeSheet(Workbook& book, const StringGrid& grid, int first, int number,
                                  const QString& sheetTitle, const QLocale& locale)
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
        const auto sheetRow = lxw_row_t(row - first);
        for (int col = 0; col < cols; ++col) {
            const QString& text = grid.cell(col, row);
            if (text.isEmpty())
                continue;
            const SpreadsheetCell cell = spreadsheetCell(text, locale);
            lxw_error e = LXW_NO_ERROR;
            if (cell.kind == SpreadsheetCell::Kind::Text) {
                e = worksheet_write_string(sheet, sheetRow, lxw_col_t(col), text.toUtf8().constData(), centred);
            } else {
                lxw_format* f = book.format(cell.numberFormat);
                if (!f)
                    return Failure{QStringLiteral("cannot add a cell format")};
                e = worksheet_write_number(sheet, sheetRow, lxw_col_t(col), cell.value, f);
            }
            if (e != LXW_NO_ERROR)
                return Failure{libraryError("cell", e) + QStringLiteral(" (row %1, column %2)").arg(row).arg(col)};
        }
    }
    return std::nullopt;
}

} // namespace

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
    const QString extension = filterIndex == 2 ? QStringLiteral(".xlsx") : QStringLiteral(".xls");
    if (fileName.contains(extension, Qt::CaseSensitive))
        return fileName;
    return fileName + extension;
}

std::optional<QString> spreadsheetTableCheck(const StringGrid& grid)
{
    if (grid.isEmptyTable())
        return Text(MainText::ArchiveNotRead);
    return std::nullopt;
}

SpreadsheetCell spreadsheetCell(const QString& text, const QLocale& locale)
{
    if (text.isEmpty())
        return {};
    if (const SpreadsheetCell n = numberCell(text, locale); n.kind != SpreadsheetCell::Kind::Empty)
        return n;
    if (const SpreadsheetCell t = timeCell(text); t.kind != SpreadsheetCell::Kind::Empty)
        return t;
    if (const SpreadsheetCell d = dateCell(text, locale); d.kind != SpreadsheetCell::Kind::Empty)
        return d;
    SpreadsheetCell cell;
    cell.kind = SpreadsheetCell::Kind::Text;
    return cell;
}

std::optional<QString> ExportToSpreadsheet(const StringGrid& grid, const QString& path,
                                           const QString& sheetTitle, const QLocale& locale,
                                           QString* reason)
{
    auto fail = [&](const QString& why) -> std::optional<QString> {
        if (reason)
            *reason = why;
        return Text(MainText::ExportError);
    };

    ReplacingFile target(path);
    if (!target.prepare())
        return fail(target.errorString());
    {
        Workbook book(QFile::encodeName(target.temporaryPath()));
        if (!book.valid())
            return fail(QStringLiteral("cannot start the workbook"));
        int number = 1;
        for (int first = 0; first < grid.rowCount(); first += RowsPerSheet, ++number)
            if (auto failed = writeSheet(book, grid, first, number, sheetTitle, locale))
                return fail(failed->reason);
        if (lxw_error e = book.close())
            return fail(libraryError("saving", e));
    }
    if (!target.commit())
        return fail(target.errorString());
    return std::nullopt;
}

} // namespace quilex
