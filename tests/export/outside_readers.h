#pragma once
// Readers that are not ours: openpyxl for workbooks, poppler's pdftotext and pdfinfo for PDF
// files. Each runs as its own process and hands back plain data.

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

namespace quilex::test {

struct ToolRun {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

inline ToolRun runTool(const QString& program, const QStringList& args)
{
    QProcess process;
    process.start(program, args);
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, process.readAllStandardOutput(),
            process.readAllStandardError()};
}

// Debian's python3 with python3-openpyxl; describes the workbook as JSON:
//   {"sheets": [{"title", "max_row", "max_col", "cells": {"A1": {"v", "t", "f", "h"}},
//                "cols": {"A": {"w", "h"}}}]}
// v is the value (dates and times in ISO form), t openpyxl's data type, f the number format,
// h the horizontal alignment. With rows given ("1,65535"), only the cells of those rows are
// listed and the workbook is streamed, which keeps big sheets quick; cols is then empty.
inline const char* const WorkbookDump = R"PY(
import json, sys, datetime, openpyxl
path = sys.argv[1]
rows = set(int(r) for r in sys.argv[2].split(',')) if len(sys.argv) > 2 else None
book = openpyxl.load_workbook(path, read_only=rows is not None)
out = {"sheets": []}
for ws in book.worksheets:
    sheet = {"title": ws.title, "cells": {}, "cols": {}}
    last_row = 0
    last_col = 0
    for row in ws.iter_rows():
        for c in row:
            if c.value is None:
                continue
            last_row = max(last_row, c.row)
            last_col = max(last_col, c.column)
            if rows is not None and c.row not in rows:
                continue
            v = c.value
            if isinstance(v, (datetime.datetime, datetime.date, datetime.time)):
                v = v.isoformat()
            sheet["cells"][c.coordinate] = {"v": v, "t": c.data_type, "f": c.number_format,
                                            "h": c.alignment.horizontal}
    sheet["max_row"] = last_row
    sheet["max_col"] = last_col
    if rows is None:
        for key, dim in ws.column_dimensions.items():
            style = getattr(dim, "_style", None)
            h = None
            if style is not None and style.alignmentId:
                h = book._alignments[style.alignmentId].horizontal
            sheet["cols"][key] = {"w": dim.width, "h": h}
    out["sheets"].append(sheet)
print(json.dumps(out))
)PY";

inline QJsonObject readWorkbook(const QString& path, const QString& rows = {})
{
    QStringList args{QStringLiteral("-c"), QString::fromLatin1(WorkbookDump), path};
    if (!rows.isEmpty())
        args << rows;
    const ToolRun run = runTool(QStringLiteral("/usr/bin/python3"), args);
    EXPECT_EQ(run.exitCode, 0) << run.err.constData();
    return QJsonDocument::fromJson(run.out).object();
}

// LibreOffice in headless mode, which is what most Linux users open a workbook with: the first
// sheet as comma-separated UTF-8 text, each cell as LibreOffice shows it, one list per row.
inline QList<QStringList> readWorkbookWithLibreOffice(const QString& path, const QString& scratch)
{
    const QString profile = QStringLiteral("-env:UserInstallation=file://") + scratch + QStringLiteral("/profile");
    const ToolRun run = runTool(QStringLiteral("soffice"),
                                {profile, QStringLiteral("--headless"), QStringLiteral("--norestore"),
                                 QStringLiteral("--convert-to"), QStringLiteral("csv:Text - txt - csv (StarCalc):44,34,76"),
                                 QStringLiteral("--outdir"), scratch, path});
    EXPECT_EQ(run.exitCode, 0) << run.err.constData();
    QFile csv(scratch + QLatin1Char('/') + QFileInfo(path).completeBaseName() + QStringLiteral(".csv"));
    EXPECT_TRUE(csv.open(QIODevice::ReadOnly)) << run.out.constData() << run.err.constData();
    QList<QStringList> rows;
    for (const QByteArray& line : csv.readAll().split('\n')) {
        if (line.trimmed().isEmpty())
            continue;
        // Cells with a comma (a decimal comma) come in quotes; none of ours holds a line break.
        QStringList cells;
        QString cell;
        bool quoted = false;
        const QString text = QString::fromUtf8(line).trimmed();
        for (qsizetype i = 0; i < text.size(); ++i) {
            const QChar c = text[i];
            if (c == u'"') {
                if (quoted && i + 1 < text.size() && text[i + 1] == u'"') {
                    cell += c;
                    ++i;
                } else {
                    quoted = !quoted;
                }
            } else if (c == u',' && !quoted) {
                cells << cell;
                cell.clear();
            } else {
                cell += c;
            }
        }
        cells << cell;
        rows.append(cells);
    }
    return rows;
}

// pdftotext of one page (from 1), or of all pages when page is 0.
inline QString pdfText(const QString& path, int page = 0, bool layout = true)
{
    QStringList args;
    if (layout)
        args << QStringLiteral("-layout");
    if (page > 0)
        args << QStringLiteral("-f") << QString::number(page) << QStringLiteral("-l") << QString::number(page);
    args << path << QStringLiteral("-");
    const ToolRun run = runTool(QStringLiteral("pdftotext"), args);
    EXPECT_EQ(run.exitCode, 0) << run.err.constData();
    return QString::fromUtf8(run.out);
}

// The "Pages:" line of pdfinfo.
inline int pdfPageCount(const QString& path)
{
    const ToolRun run = runTool(QStringLiteral("pdfinfo"), {path});
    for (const QByteArray& line : run.out.split('\n'))
        if (line.startsWith("Pages:"))
            return line.mid(6).trimmed().toInt();
    return -1;
}

// A line of a page's text (pdfText with its layout) that holds these cells in this order, one
// after another; empty cells are passed over.
inline QRegularExpression cellsInOrder(const QStringList& cells)
{
    QStringList parts;
    for (const QString& cell : cells)
        if (!cell.isEmpty())
            parts << QRegularExpression::escape(cell);
    return QRegularExpression(QStringLiteral("(^|\\s)") + parts.join(QStringLiteral("\\s+")) + QStringLiteral("(\\s|$)"),
                              QRegularExpression::MultilineOption);
}

} // namespace quilex::test
