#include "cli/cli_table_io.h"

#include "app/main_window_texts.h"
#include "app/project_file.h"
#include "export/report.h"
#include "export/spreadsheet_export.h"

#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QSaveFile>

#include <algorithm>
#include <cstdio>

namespace quilex::cli {

namespace {


QString fileError(const QString& path, const QString& why, int languageIndex)
{
    return languageIndex == 1 ? QStringLiteral("Cannot write \"%1\": %2").arg(path, why)
                              : QStringLiteral("Не удалось записать \"%1\": %2").arg(path, why);
}

QString readError(const QString& path, const QString& why, int languageIndex)
{
    return languageIndex == 1 ? QStringLiteral("Cannot read \"%1\": %2").arg(path, why)
                              : QStringLiteral("Не удалось прочитать \"%1\": %2").arg(path, why);
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

} // namespace

TableFormat tableFormatFor(const QString& path)
{
    if (path.endsWith(QLatin1String(".qlx"), Qt::CaseInsensitive))
        return TableFormat::Project;
    if (path.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive))
        return TableFormat::Csv;
    return TableFormat::Tsv;
}

QByteArray tableAsText(const StringGrid& grid, TableFormat format)
{
    QByteArray out;
    for (int row = 0; row < grid.rowCount(); ++row) {
        for (int col = 0; col < grid.colCount(); ++col) {
            if (format == TableFormat::Csv) {
                if (col > 0)
                    out += ',';
                appendCsvField(out, grid.cell(col, row));
            } else {
                if (col > 0)
                    out += '\t';
                out += grid.cell(col, row).toUtf8();
            }
        }
        out += format == TableFormat::Csv ? "\r\n" : "\n";
    }
    return out;
}

bool parseTableText(const QByteArray& text, TableFormat format, std::vector<QStringList>& rows)
{
    rows.clear();
    if (format != TableFormat::Csv) {
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

QByteArray projectBytes(const QString& path)
{
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly) || file.size() > MaxProjectFileSize)
        return {};
    // One read of the size the file has, rather than a buffer that grows as it reads.
    QByteArray bytes(file.size(), Qt::Uninitialized);
    if (file.read(bytes.data(), bytes.size()) != bytes.size() || !file.atEnd())
        return {};
    return bytes;
}

std::optional<QString> writeTable(const StringGrid& grid, const QString& path, int languageIndex)
{
    const TableFormat format = tableFormatFor(path);
    if (path.isEmpty()) {
        const QByteArray text = tableAsText(grid, TableFormat::Tsv);
        if (std::fwrite(text.constData(), 1, size_t(text.size()), stdout) != size_t(text.size()) || std::fflush(stdout) != 0)
            return fileError(QStringLiteral("-"), QStringLiteral("standard output"), languageIndex);
        return std::nullopt;
    }
    if (format == TableFormat::Project)
        return writeProjectFile(grid, path, languageIndex);
    if (path.endsWith(QLatin1String(".xlsx"), Qt::CaseInsensitive)) {
        QString reason;
        const QString title = Text(mainWindowText(MainText::ArchiveTitle), std::uint8_t(languageIndex));
        if (ExportToSpreadsheet(grid, path, title, QLocale::system(), &reason))
            return fileError(path, reason, languageIndex);
        return std::nullopt;
    }
    if (path.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive)) {
        // Laying out the pages needs fonts, which only a GUI application has.
        if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
            return fileError(path, QStringLiteral("the report's pages are written by \"convert\""), languageIndex);
        QString reason;
        if (!writeReportPdf(grid, path, &reason))
            return fileError(path, reason, languageIndex);
        return std::nullopt;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fileError(path, file.errorString(), languageIndex);
    const QByteArray text = tableAsText(grid, format);
    if (file.write(text) != text.size() || !file.commit())
        return fileError(path, file.errorString(), languageIndex);
    return std::nullopt;
}

std::optional<QString> readTable(const QString& path, StringGrid& grid, int languageIndex)
{
    const TableFormat format = tableFormatFor(path);
    if (format == TableFormat::Project)
        return readProjectFile(path, grid, languageIndex);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return readError(path, file.errorString(), languageIndex);
    std::vector<QStringList> rows;
    if (!parseTableText(file.readAll(), format, rows))
        return readError(path, languageIndex == 1 ? QStringLiteral("a quoted field is not closed")
                                                  : QStringLiteral("не закрыты кавычки поля"),
                         languageIndex);
    int cols = 1;
    for (const auto& r : rows)
        cols = std::max(cols, int(r.size()));
    StringGrid::UpdateBatch batch(grid);
    grid.setColCount(cols);
    grid.setRowCount(std::max<int>(1, int(rows.size())));
    for (int row = 0; row < int(rows.size()); ++row)
        for (int col = 0; col < cols; ++col)
            grid.setCell(col, row, col < rows[row].size() ? rows[row][col] : QString());
    return std::nullopt;
}

} // namespace quilex::cli
