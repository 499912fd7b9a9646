#include "export/table_report.h"

#include "export/report_texts.h"
#include "history/history_tables.h"
#include "table/archive_columns.h"
#include "table/statistics.h"
#include "table/table_values.h"

#include <QDateTime>

#include <algorithm>
#include <utility>

namespace quilex {

namespace {

namespace texts = report_texts;

// Shaded, and marked in words as well: a reading below its minimum must stand out on a page
// printed in black and white too.
const QColor BelowMinimumShade(0xFF, 0xD0, 0xD0);
constexpr std::size_t MaterialsShown = 8;

QString text(const TextPair& pair, int language)
{
    return Text(pair, std::uint8_t(language));
}

QString shortDate(const QDate& date, const QLocale& locale)
{
    return locale.toString(date, locale.dateFormat(QLocale::ShortFormat));
}

QString limitText(const std::optional<std::int32_t>& value, const QLocale& locale)
{
    return value ? thicknessText(*value, locale) : QStringLiteral("—");
}

// The readings' count and the days they were taken on.
QString readingsSpan(std::span<const ArchiveValues> rows, const InspectionReport& r)
{
    std::optional<QDate> first, last;
    int count = 0;
    for (const ArchiveValues& v : rows) {
        if (v.thickness)
            ++count;
        if (!v.date)
            continue;
        if (!first || *v.date < *first)
            first = v.date;
        if (!last || *v.date > *last)
            last = v.date;
    }
    if (!first)
        return text(texts::ReadingsCount, r.languageIndex).arg(count);
    return text(texts::ReadingsPeriod, r.languageIndex)
        .arg(count)
        .arg(shortDate(*first, r.locale), shortDate(*last, r.locale));
}

// The materials and sound speeds of the readings, each pair once, in the order met.
QString materialsText(std::span<const ArchiveValues> rows, const InspectionReport& r)
{
    std::vector<std::pair<QString, std::optional<std::int32_t>>> seen;
    bool more = false;
    for (const ArchiveValues& v : rows) {
        const auto pair = std::make_pair(v.material.trimmed(), v.soundSpeed);
        if (pair.first.isEmpty() && !pair.second)
            continue;
        if (std::find(seen.begin(), seen.end(), pair) != seen.end())
            continue;
        if (seen.size() == MaterialsShown) {
            more = true;
            break;
        }
        seen.push_back(pair);
    }
    QStringList parts;
    for (const auto& [material, speed] : seen) {
        QString part = material;
        if (speed)
            part += (part.isEmpty() ? QString() : QStringLiteral(", ")) +
                    text(texts::SoundSpeedUnit, r.languageIndex).arg(*speed);
        parts << part;
    }
    return parts.join(QStringLiteral("; ")) + (more ? QStringLiteral("; …") : QString());
}

ReportTable titleBlock(const InspectionReport& r, std::span<const ArchiveValues> rows)
{
    const int l = r.languageIndex;
    const ReportTitle& t = r.title;
    const std::pair<const TextPair*, QString> fields[] = {
        {&texts::Object, t.object},
        {&texts::Place, t.place},
        {&texts::Operator, t.operatorName},
        {&texts::Date, shortDate(r.date, r.locale)},
        {&texts::Gauge, t.gauge},
        {&texts::Serial, t.serial},
        {&texts::Probe, t.probe},
        {&texts::Calibration, t.calibration},
        {&texts::Couplant, t.couplant},
        {&texts::ReadingsHeading, readingsSpan(rows, r)},
    };
    ReportTable table;
    table.ruled = false;
    table.pointSize = 9;
    for (std::size_t i = 0; i < std::size(fields); i += 2) {
        table.rows.push_back({{text(*fields[i].first, l) + u':', true},
                              {fields[i].second},
                              {text(*fields[i + 1].first, l) + u':', true},
                              {fields[i + 1].second}});
    }
    return table;
}

ReportTable limitsTable(const InspectionReport& r)
{
    const int l = r.languageIndex;
    ReportTable table;
    table.header = {text(texts::LimitSeries, l), text(texts::LimitNominal, l), text(texts::LimitMinimum, l)};
    table.alignment = {Qt::AlignLeft, Qt::AlignRight, Qt::AlignRight};
    table.rows.push_back({{statisticsAllLabel(l)},
                          {limitText(r.limits.table.nominal, r.locale)},
                          {limitText(r.limits.table.minimum, r.locale)}});
    for (const auto& [series, own] : r.limits.series) {
        const ThicknessLimits holds = r.limits.forSeries(series);
        table.rows.push_back({{QString::number(series)},
                              {limitText(holds.nominal, r.locale)},
                              {limitText(holds.minimum, r.locale)}});
    }
    return table;
}

ReportTable statisticsReportTable(const InspectionReport& r, std::span<const ArchiveValues> rows)
{
    const StatisticsTable figures = statisticsTable(computeStatistics(rows, r.limits), r.languageIndex);
    ReportTable table;
    table.header = figures.header;
    table.pointSize = 7.5;
    table.alignment.assign(std::size_t(figures.header.size()), Qt::AlignRight);
    table.alignment[0] = Qt::AlignLeft;
    for (std::size_t i = 0; i < figures.rows.size(); ++i) {
        std::vector<ReportCell> cells;
        const bool whole = i + 1 == figures.rows.size(); // "Все" / "All" comes last
        for (std::size_t c = 0; c < figures.rows[i].size(); ++c)
            cells.push_back({statisticsCellText(figures.rows[i][c], int(c), r.locale), whole});
        table.rows.push_back(std::move(cells));
    }
    return table;
}

ReportTable readingsTable(const InspectionReport& r, std::span<const ArchiveValues> rows)
{
    namespace column = archive_column;
    const int l = r.languageIndex;
    const QStringList header = archiveHeaderTexts(l);
    const StringGrid& grid = r.values->grid();
    ReportTable table;
    table.header = {header[column::Record], header[column::Series], header[column::Number],
                    header[column::Thickness], header[column::Date], header[column::Time],
                    text(texts::MarkColumn, l)};
    table.alignment = {Qt::AlignRight, Qt::AlignRight, Qt::AlignRight, Qt::AlignRight,
                       Qt::AlignLeft, Qt::AlignLeft, Qt::AlignLeft};
    // Two readings side by side: a download of 2048 readings on about 17 pages, not 35.
    table.panes = 2;
    table.pointSize = 7;
    const QString mark = text(texts::BelowMinimumMark, l);
    table.rows.reserve(rows.size());
    for (const ArchiveValues& v : rows) {
        const bool below = !r.limits.empty() && belowMinimum(v, r.limits);
        const std::optional<QColor> shade = below ? std::optional<QColor>(BelowMinimumShade) : std::nullopt;
        auto cell = [&](int col) { return ReportCell{grid.cell(col, v.row).trimmed(), false, shade}; };
        ReportCell thickness = v.thickness ? ReportCell{thicknessText(*v.thickness, r.locale), below, shade}
                                           : cell(column::Thickness);
        table.rows.push_back({cell(column::Record), cell(column::Series), cell(column::Number), std::move(thickness),
                              cell(column::Date), cell(column::Time),
                              ReportCell{below ? mark : QString(), below, shade}});
    }
    return table;
}

} // namespace

ReportDocument inspectionReportDocument(const InspectionReport& r)
{
    const int l = r.languageIndex;
    const std::span<const ArchiveValues> rows = r.values ? r.values->dataRows() : std::span<const ArchiveValues>();
    ReportDocument doc;
    doc.setPageNumberText(text(texts::PageOf, l));
    QString running = text(texts::InspectionTitle, l);
    if (!r.title.object.isEmpty())
        running += QStringLiteral(" — ") + r.title.object;
    doc.setRunningHeader(running + QStringLiteral(" — ") + shortDate(r.date, r.locale));

    doc.title(text(texts::InspectionTitle, l));
    doc.subtitle(text(texts::InspectionSubtitle, l));
    doc.space(3);
    doc.table(titleBlock(r, rows));
    const QString materials = materialsText(rows, r);
    if (!materials.isEmpty())
        doc.paragraph(text(texts::Materials, l) + QStringLiteral(": ") + materials);

    doc.heading(text(texts::LimitsHeading, l));
    if (r.limits.empty())
        doc.paragraph(text(texts::NoLimits, l));
    else
        doc.table(limitsTable(r));

    doc.heading(text(texts::StatisticsHeading, l));
    doc.table(statisticsReportTable(r, rows));

    if (r.chart) {
        doc.heading(text(texts::ChartHeading, l));
        doc.picture(95, r.chart);
    }

    doc.heading(text(texts::ReadingsHeading, l));
    if (rows.empty()) {
        doc.paragraph(text(texts::NoReadings, l));
    } else {
        if (!r.limits.empty())
            doc.paragraph(text(texts::BelowMinimumNote, l).arg(text(texts::BelowMinimumMark, l)));
        doc.table(readingsTable(r, rows));
    }
    doc.space(8);
    doc.paragraph(text(texts::Signature, l));
    return doc;
}

QString inspectionReportName(const InspectionReport& report)
{
    return text(texts::InspectionTitle, report.languageIndex) + u' ' +
           QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH-mm-ss"));
}

Result<void> writeInspectionReportPdf(const InspectionReport& report, const QString& path)
{
    return inspectionReportDocument(report).writePdf(path, text(texts::InspectionTitle, report.languageIndex));
}

void showInspectionReportPreview(QWidget* parent, const InspectionReport& report, const QString& folder)
{
    const ReportDocument doc = inspectionReportDocument(report);
    showReportPreview(parent, doc, inspectionReportName(report), folder);
}

} // namespace quilex
