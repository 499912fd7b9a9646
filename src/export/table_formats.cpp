#include "export/table_formats.h"

#include "table/main_window_texts.h"
#include "table/project_file.h"
#include "table/table_texts.h"
#include "export/report.h"
#include "export/spreadsheet_export.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLocale>
#include <QSaveFile>

#include <algorithm>
#include <cstring>

namespace quilex {

namespace {

namespace texts = table_texts;

Failure writeError(const QString& path, const QString& why, int languageIndex)
{
    return fail(Text(texts::TextNotWritten, std::uint8_t(languageIndex)).arg(path, why));
}

Failure readError(const QString& path, const QString& why, int languageIndex)
{
    return fail(Text(texts::TextNotRead, std::uint8_t(languageIndex)).arg(path, why));
}

void appendCsvField(QByteArray& out, const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    const bool quote = utf8.contains(',') || utf8.contains('"') || utf8.contains('\n') || utf8.contains('\r');
    if (!quote) {
        out += utf8;
        return;
    }
    out += '"';
    for (char c : utf8) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

bool isCsv(const TableFormat& format)
{
    return std::strcmp(format.id, "csv") == 0;
}

// Text as a table writes it: no byte below a space but the tab and the line ends. Anything
// else (a project file's counts and lengths, a picture, a workbook) is not a text table.
bool looksLikeText(QByteArrayView bytes)
{
    return std::none_of(bytes.begin(), bytes.end(), [](char c) {
        const auto b = static_cast<unsigned char>(c);
        return b < 0x20 && b != '\t' && b != '\n' && b != '\r';
    });
}

Result<ProjectExtras> textIntoGrid(const QByteArray& text, const TableFormat& format, const QString& path,
                                   StringGrid& grid, int languageIndex)
{
    std::vector<QStringList> rows;
    if (!parseTableText(text, format, rows))
        return readError(path, Text(texts::QuoteNotClosed, std::uint8_t(languageIndex)), languageIndex);
    int cols = 1;
    for (const auto& r : rows)
        cols = std::max(cols, int(r.size()));
    StringGrid::UpdateBatch batch(grid);
    grid.setColCount(cols);
    grid.setRowCount(std::max<int>(1, int(rows.size())));
    for (int row = 0; row < int(rows.size()); ++row)
        for (int col = 0; col < cols; ++col)
            grid.setCell(col, row, col < rows[row].size() ? rows[row][col] : QString());
    return ProjectExtras{}; // text keeps no limits
}

// The two text forms, by their format's id: one reader and one writer each.
template <const char* Id>
Result<void> writeText(const StringGrid& grid, const QString& path, int languageIndex, const ProjectExtras&)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return writeError(path, file.errorString(), languageIndex);
    const QByteArray text = tableAsText(grid, *tableFormatById(Id));
    if (file.write(text) != text.size() || !file.commit())
        return writeError(path, file.errorString(), languageIndex);
    return done();
}

template <const char* Id>
Result<ProjectExtras> readText(const QString& path, StringGrid& grid, int languageIndex)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return readError(path, file.errorString(), languageIndex);
    return textIntoGrid(file.readAll(), *tableFormatById(Id), path, grid, languageIndex);
}

constexpr char Tsv[] = "tsv";
constexpr char Csv[] = "csv";

Result<void> writeWorkbook(const StringGrid& grid, const QString& path, int languageIndex, const ProjectExtras& kept)
{
    const QString title = Text(mainWindowText(MainText::ArchiveTitle), std::uint8_t(languageIndex));
    if (const auto written = ExportToSpreadsheet(grid, path, title, QLocale::system(), kept.limits, languageIndex); !written)
        return writeError(path, written.detail(), languageIndex);
    return done();
}

Result<void> writeReport(const StringGrid& grid, const QString& path, int languageIndex, const ProjectExtras&)
{
    // Laying out the pages needs fonts, which only a GUI application has.
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return writeError(path, Text(texts::ReportNeedsDisplay, std::uint8_t(languageIndex)), languageIndex);
    if (const auto written = writeReportPdf(grid, path); !written)
        return writeError(path, written.error(), languageIndex);
    return done();
}

const TableFormat Formats[] = {
    {"qlx", "Quilex-A Project", {QLatin1String(ProjectFileEnding)}, readProjectFile, writeProjectWithExtras},
    {Tsv, "Tab-separated text", {QStringLiteral(".tsv"), QStringLiteral(".txt")}, readText<Tsv>, writeText<Tsv>},
    {Csv, "Comma-separated text", {QStringLiteral(".csv")}, readText<Csv>, writeText<Csv>},
    {"xlsx", "Excel 2007 workbook", {QStringLiteral(".xlsx")}, nullptr, writeWorkbook},
    {"pdf", "Printed report (PDF)", {QStringLiteral(".pdf")}, nullptr, writeReport},
};

} // namespace

std::span<const TableFormat> tableFormats()
{
    return Formats;
}

const TableFormat* tableFormatFor(const QString& path)
{
    for (const TableFormat& format : Formats)
        for (const QString& ending : format.endings)
            if (path.endsWith(ending, Qt::CaseInsensitive))
                return &format;
    return nullptr;
}

Result<ProjectExtras> readTableFile(const QString& path, const TableFormat& named, StringGrid& grid,
                                    int languageIndex)
{
    if (std::strcmp(named.id, "qlx") == 0 || !named.read)
        return readProjectFile(path, grid, languageIndex);
    // A text by its name may hold a project, saved under another ending: its counts and cell
    // lengths tell, as no text's bytes could. What is neither is refused by name.
    const Result<QByteArray> bytes = readWholeFile(path, languageIndex);
    if (!bytes)
        return named.read(path, grid, languageIndex); // which says why in the words it always did
    if (locateColumns(*bytes, languageIndex))
        return readProjectFile(path, grid, languageIndex);
    if (!looksLikeText(*bytes))
        return fail(Text(texts::NeitherProjectNorText, std::uint8_t(languageIndex)).arg(QDir::toNativeSeparators(path)));
    return textIntoGrid(*bytes, named, path, grid, languageIndex);
}

const TableFormat* tableFormatById(const char* id)
{
    for (const TableFormat& format : Formats)
        if (std::strcmp(format.id, id) == 0)
            return &format;
    return nullptr;
}

QByteArray tableAsText(const StringGrid& grid, const TableFormat& format)
{
    const bool csv = isCsv(format);
    QByteArray out;
    for (int row = 0; row < grid.rowCount(); ++row) {
        for (int col = 0; col < grid.colCount(); ++col) {
            if (csv) {
                if (col > 0)
                    out += ',';
                appendCsvField(out, grid.cell(col, row));
            } else {
                if (col > 0)
                    out += '\t';
                out += grid.cell(col, row).toUtf8();
            }
        }
        out += csv ? "\r\n" : "\n";
    }
    return out;
}

bool parseTableText(const QByteArray& text, const TableFormat& format, std::vector<QStringList>& rows)
{
    rows.clear();
    if (!isCsv(format)) {
        for (QByteArray line : text.split('\n')) {
            if (line.endsWith('\r'))
                line.chop(1);
            QStringList cells;
            for (const QByteArray& cell : line.split('\t'))
                cells << QString::fromUtf8(cell);
            rows.push_back(cells);
        }
        if (!rows.empty() && rows.back().size() == 1 && rows.back().front().isEmpty())
            rows.pop_back(); // the line feed after the last line
        return true;
    }
    // Comma-separated with double-quoted fields, as in RFC 4180.
    QStringList cells;
    QByteArray field;
    bool quoted = false;
    bool rowOpen = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text[i];
        rowOpen = true;
        if (quoted) {
            if (c == '"') {
                if (i + 1 < text.size() && text[i + 1] == '"') {
                    field += '"';
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                field += c;
            }
        } else if (c == '"' && field.isEmpty()) {
            quoted = true;
        } else if (c == ',') {
            cells << QString::fromUtf8(field);
            field.clear();
        } else if (c == '\n' || c == '\r') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            cells << QString::fromUtf8(field);
            field.clear();
            rows.push_back(cells);
            cells.clear();
            rowOpen = false;
        } else {
            field += c;
        }
    }
    if (quoted)
        return false;
    if (rowOpen) {
        cells << QString::fromUtf8(field);
        rows.push_back(cells);
    }
    return true;
}

} // namespace quilex
