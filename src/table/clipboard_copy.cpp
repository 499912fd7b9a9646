#include "table/clipboard_copy.h"

#include "table/windows1251.h"

namespace quilex {

namespace {

// Lengths count the bytes the text has in Windows-1251: one per character, as the table's
// texts have always been measured.
qsizetype byteLength(const QString& text)
{
    return windows1251::encode(text).size();
}

// The tab after the row's last cell goes; extra tabs before it stay.
void endLine(QString& text)
{
    if (text.endsWith(QLatin1Char('\t')))
        text.chop(1);
    text += QLatin1String("\r\n");
}

} // namespace

QString wholeTableText(const StringGrid& grid, const QString& dateHeader)
{
    QString text;
    std::vector<qsizetype> headerLengths(std::size_t(grid.colCount()));
    for (int j = 0; j < grid.colCount(); ++j)
        headerLengths[std::size_t(j)] = byteLength(grid.cell(j, 0));
    for (int i = 0; i < grid.rowCount(); ++i) {
        for (int j = 0; j < grid.colCount(); ++j) {
            const QString& cell = grid.cell(j, i);
            text += cell;
            text += QLatin1Char('\t');
            if (i == 0) {
                if (cell == dateHeader)
                    text += QLatin1Char('\t');
                continue;
            }
            const qsizetype h = headerLengths[std::size_t(j)];
            if (h > byteLength(cell) && h >= 8)
                text += QString(h / 8, QLatin1Char('\t'));
        }
        endLine(text);
    }
    return text;
}

QString blockText(const StringGrid& grid, const GridRect& rect)
{
    QString text;
    for (int i = rect.Top; i <= rect.Bottom; ++i) {
        for (int j = rect.Left; j <= rect.Right; ++j) {
            text += grid.cell(j, i);
            text += QLatin1Char('\t');
        }
        endLine(text);
    }
    return text;
}

QString htmlTable(const StringGrid& grid, const GridRect& rect)
{
    QString html = QStringLiteral("<table>");
    for (int row = rect.Top; row <= rect.Bottom; ++row) {
        html += QStringLiteral("<tr>");
        for (int col = rect.Left; col <= rect.Right; ++col)
            html += QStringLiteral("<td>") + grid.cell(col, row).toHtmlEscaped() + QStringLiteral("</td>");
        html += QStringLiteral("</tr>");
    }
    html += QStringLiteral("</table>");
    return html;
}

} // namespace quilex
