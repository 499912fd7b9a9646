#include "export/history_report.h"

#include "export/report_texts.h"
#include "history/history_tables.h"
#include "history/history_texts.h"

#include <QPainter>

#include <algorithm>
#include <map>

namespace quilex {

namespace {

namespace texts = report_texts;

// A trend's picture: three of them under their captions fill a page.
constexpr double TrendHeightMm = 75;

QString text(const TextPair& pair, int language)
{
    return Text(pair, std::uint8_t(language));
}

// The status's colour beside its word, never instead of it.
QColor statusColour(Status status)
{
    switch (status) {
    case Status::Red:
        return QColor(0xD0, 0x30, 0x30);
    case Status::Amber:
        return QColor(0xF0, 0xA8, 0x20);
    case Status::Green:
        return QColor(0x30, 0xA0, 0x48);
    case Status::Grey:
        break;
    }
    return QColor(0xA8, 0xA8, 0xA8);
}

ReportCell statusCell(Status status, int language, bool bold = false)
{
    return ReportCell{history_texts::statusWord(status, language), bold, std::nullopt, statusColour(status)};
}

constexpr Status WorstFirst[] = {Status::Red, Status::Amber, Status::Grey, Status::Green};

// Columns of the rates' rows (history_texts.h: ratesHeader) that a group's table shows.
namespace rates_column {
constexpr int Location = 0, Cell = 3, Required = 5, BaseDate = 6, Base = 7, LastDate = 10, Last = 11, LongTerm = 12,
              ShortTerm = 13, Governing = 14, RemainingLife = 15, Retirement = 16, Next = 18, Status = 19, Flags = 20;
}

std::vector<int> groupColumns(bool withCells)
{
    using namespace rates_column;
    std::vector<int> columns{Location};
    if (withCells)
        columns.push_back(Cell);
    columns.insert(columns.end(), {Required, BaseDate, Base, LastDate, Last, LongTerm, ShortTerm, Governing,
                                   RemainingLife, Retirement, Next, Status, Flags});
    return columns;
}

Qt::Alignment ratesAlignment(int column)
{
    using namespace rates_column;
    switch (column) {
    case Location:
    case Cell:
    case BaseDate:
    case LastDate:
    case Retirement:
    case Next:
    case Status:
    case Flags:
        return Qt::AlignLeft;
    default:
        return Qt::AlignRight;
    }
}

QString groupTitle(std::int32_t series, const HistorySettings& settings, int language)
{
    const GroupSettings* group = settings.group(series);
    if (group && !group->name.isEmpty())
        return text(texts::GroupHeading, language).arg(series).arg(group->name);
    return text(texts::GroupHeadingPlain, language).arg(series);
}

QString groupName(std::int32_t series, const HistorySettings& settings)
{
    const GroupSettings* group = settings.group(series);
    return group ? group->name : QString();
}

ReportTable titleBlock(const HistoryReport& r, const StatusSummary& all)
{
    const int l = r.languageIndex;
    QString surveys = QString::number(r.surveys.size());
    if (!r.surveys.empty())
        surveys = text(texts::SurveysSpan, l)
                      .arg(r.surveys.size())
                      .arg(isoDate(r.surveys.front().date), isoDate(r.surveys.back().date));
    const TextPair& rate = r.rate == RateChoice::LongTerm    ? texts::RateLongTerm
                           : r.rate == RateChoice::ShortTerm ? texts::RateShortTerm
                                                             : texts::RateLarger;
    QString status = history_texts::statusWord(all.status, l);
    if (all.nextInspection)
        status += QStringLiteral(", ") + text(texts::NextInspection, l).toLower() + u' ' + isoDate(*all.nextInspection);
    const std::pair<const TextPair*, QString> fields[] = {
        {&texts::Object, r.settings.object.name},
        {&texts::Code, codeText(r.settings.object, l)},
        {&texts::AsOf, isoDate(r.asOf)},
        {&texts::RateRule, text(rate, l)},
        {&texts::Surveys, surveys},
        {&texts::LocationsItem, QString::number(r.rates.size())},
        {&texts::WorstStatus, status},
    };
    ReportTable table;
    table.ruled = false;
    table.pointSize = 9;
    for (const auto& [label, value] : fields)
        table.rows.push_back({{text(*label, l) + u':', true}, {value}});
    return table;
}

ReportTable surveysTable(const HistoryReport& r)
{
    ReportTable table;
    table.header = history_texts::surveysHeader(r.languageIndex);
    table.pointSize = 7.5;
    table.alignment = {Qt::AlignRight, Qt::AlignLeft, Qt::AlignLeft, Qt::AlignLeft,
                       Qt::AlignLeft,  Qt::AlignLeft, Qt::AlignLeft, Qt::AlignRight};
    for (const Survey& survey : r.surveys) {
        std::vector<ReportCell> cells;
        for (const QString& cell : surveysRow(survey))
            cells.push_back({cell});
        table.rows.push_back(std::move(cells));
    }
    return table;
}

ReportTable byStatusTable(const HistoryReport& r, const StatusSummary& all)
{
    const int l = r.languageIndex;
    ReportTable table;
    table.header = {text(texts::StatusColumn, l), text(texts::LocationsColumn, l)};
    table.alignment = {Qt::AlignLeft, Qt::AlignRight};
    for (Status status : WorstFirst)
        table.rows.push_back({statusCell(status, l), {QString::number(all.counts[std::size_t(status)])}});
    table.rows.push_back({{text(texts::Total, l), true}, {QString::number(r.rates.size()), true}});
    return table;
}

ReportTable groupsTable(const HistoryReport& r, const std::map<std::int32_t, std::vector<LocationRates>>& groups)
{
    const int l = r.languageIndex;
    ReportTable table;
    table.header = {text(texts::LimitSeries, l), text(texts::GroupName, l), text(texts::LocationsColumn, l)};
    for (Status status : WorstFirst)
        table.header << history_texts::statusWord(status, l);
    table.header << text(texts::StatusColumn, l) << text(texts::NextInspection, l);
    table.alignment = {Qt::AlignRight, Qt::AlignLeft,  Qt::AlignRight, Qt::AlignRight, Qt::AlignRight,
                       Qt::AlignRight, Qt::AlignRight, Qt::AlignLeft,  Qt::AlignLeft};
    table.pointSize = 7.5;
    for (const auto& [series, locations] : groups) {
        const StatusSummary summary = summarize(locations);
        std::vector<ReportCell> row{{QString::number(series)},
                                    {groupName(series, r.settings)},
                                    {QString::number(locations.size())}};
        for (Status status : WorstFirst)
            row.push_back({QString::number(summary.counts[std::size_t(status)])});
        row.push_back(statusCell(summary.status, r.languageIndex));
        row.push_back({summary.nextInspection ? isoDate(*summary.nextInspection) : QString()});
        table.rows.push_back(std::move(row));
    }
    return table;
}

ReportTable worstTable(const HistoryReport& r, const QStringList& ratesHeader)
{
    using namespace rates_column;
    const int l = r.languageIndex;
    ReportTable table;
    const std::vector<int> columns{Location, Last, Governing, RemainingLife, Retirement, Next, Status, Flags};
    table.header << ratesHeader[Location] << text(texts::Group, l);
    table.alignment = {Qt::AlignLeft, Qt::AlignLeft};
    for (std::size_t i = 1; i < columns.size(); ++i) {
        table.header << ratesHeader[columns[i]];
        table.alignment.push_back(ratesAlignment(columns[i]));
    }
    table.pointSize = 7.5;
    for (const LocationRates* location : worstLocations(r.rates, 10)) {
        const QStringList cells = ratesRow(*location, r.locale);
        std::vector<ReportCell> row{{cells[Location], true}, {groupTitle(location->location.series, r.settings, l)}};
        for (std::size_t i = 1; i < columns.size(); ++i)
            row.push_back(columns[i] == Status ? statusCell(location->status, r.languageIndex) : ReportCell{cells[columns[i]]});
        table.rows.push_back(std::move(row));
    }
    return table;
}

ReportTable locationsTable(const HistoryReport& r, const std::vector<LocationRates>& locations,
                           const QStringList& ratesHeader)
{
    const bool withCells = std::any_of(locations.begin(), locations.end(), [](const auto& l) { return bool(l.cell); });
    const std::vector<int> columns = groupColumns(withCells);
    std::map<LocationKey, const LocationSettings*> described;
    for (const LocationSettings& s : r.settings.locations)
        if (!s.description.isEmpty())
            described.emplace(s.key, &s);
    ReportTable table;
    table.pointSize = 7;
    for (int column : columns) {
        table.header << ratesHeader[column];
        table.alignment.push_back(ratesAlignment(column));
    }
    for (const LocationRates& location : locations) {
        const QStringList cells = ratesRow(location, r.locale);
        std::vector<ReportCell> row;
        for (int column : columns) {
            if (column == rates_column::Status) {
                row.push_back(statusCell(location.status, r.languageIndex));
            } else if (column == rates_column::Location) {
                // The description under the location's name, wrapped between its words.
                const auto found = described.find(location.location);
                row.push_back({found == described.end() ? cells[column] : cells[column] + u'\n' + found->second->description,
                               false});
            } else {
                row.push_back({cells[column]});
            }
        }
        table.rows.push_back(std::move(row));
    }
    return table;
}

} // namespace

std::vector<const LocationRates*> worstLocations(const std::vector<LocationRates>& rates, std::size_t count)
{
    std::vector<const LocationRates*> ranked;
    ranked.reserve(rates.size());
    for (const LocationRates& r : rates)
        ranked.push_back(&r);
    const auto rank = [](const LocationRates* a, const LocationRates* b) {
        if (a->status != b->status)
            return int(a->status) > int(b->status);
        const auto& an = a->figures.nextInspection;
        const auto& bn = b->figures.nextInspection;
        if (an != bn)
            return an && (!bn || *an < *bn);
        const auto& al = a->figures.remainingLife;
        const auto& bl = b->figures.remainingLife;
        if (al != bl)
            return al && (!bl || *al < *bl);
        return a->location < b->location;
    };
    const std::size_t kept = std::min(count, ranked.size());
    std::partial_sort(ranked.begin(), ranked.begin() + std::ptrdiff_t(kept), ranked.end(), rank);
    ranked.resize(kept);
    return ranked;
}

QString codeText(const ObjectSettings& object, int languageIndex)
{
    const QString code = codeName(object.code).toUpper().insert(3, u' ');
    if (object.code == InspectionCode::Api570 && object.pipingClass)
        return text(texts::CodeWithClass, languageIndex).arg(code).arg(*object.pipingClass);
    return code;
}

ReportDocument historyReportDocument(const HistoryReport& r)
{
    const int l = r.languageIndex;
    const StatusSummary all = summarize(r.rates);
    const QStringList header = history_texts::ratesHeader(l);
    std::map<std::int32_t, std::vector<LocationRates>> groups;
    for (const LocationRates& location : r.rates)
        groups[location.location.series].push_back(location);

    ReportDocument doc;
    doc.setPageNumberText(text(texts::PageOf, l));
    doc.setRunningHeader(text(texts::HistoryTitle, l) + QStringLiteral(" — ") + r.settings.object.name +
                         QStringLiteral(" — ") + text(texts::AsOf, l).toLower() + u' ' + isoDate(r.asOf));

    doc.title(text(texts::HistoryTitle, l));
    doc.subtitle(r.settings.object.name);
    doc.space(3);
    doc.table(titleBlock(r, all));
    if (!r.surveys.empty()) {
        doc.heading(text(texts::SurveysHeading, l));
        doc.table(surveysTable(r));
    }

    doc.heading(text(texts::SummaryHeading, l));
    if (r.rates.empty()) {
        doc.paragraph(text(texts::NoLocations, l));
    } else {
        doc.paragraph(text(texts::ByStatusHeading, l), true);
        doc.table(byStatusTable(r, all));
        doc.paragraph(text(texts::GroupsHeading, l), true);
        doc.table(groupsTable(r, groups));
        doc.paragraph(text(texts::WorstHeading, l), true);
        doc.table(worstTable(r, header));
    }

    for (const auto& [series, locations] : groups) {
        doc.heading(groupTitle(series, r.settings, l));
        const GroupValues values = r.settings.effectiveValues(series);
        const StatusSummary summary = summarize(locations);
        const auto thickness = [&](const std::optional<std::int32_t>& v) {
            return v ? thicknessText(*v, r.locale) : text(texts::NotSet, l);
        };
        doc.paragraph(text(texts::GroupLine, l)
                          .arg(thickness(values.nominal), thickness(values.required), history_texts::statusWord(summary.status, l),
                               summary.nextInspection ? isoDate(*summary.nextInspection) : QStringLiteral("—")));
        doc.table(locationsTable(r, locations, header));

        // The place of the trends: one picture per red or amber location, drawn by whoever gave
        // the painter. Without one the report keeps no room for them.
        if (!r.trend)
            continue;
        // They start on a page of their own, three to a page, each under its caption: the same
        // pages in either language.
        bool first = true;
        for (const LocationRates& location : locations) {
            if (location.status != Status::Red && location.status != Status::Amber)
                continue;
            if (first) {
                doc.pageBreak();
                doc.paragraph(text(texts::TrendsHeading, l), true);
            }
            first = false;
            doc.picture(
                TrendHeightMm,
                [trend = r.trend, location](QPainter& painter, const QRectF& target) { trend(painter, target, location); },
                text(texts::LocationTrend, l).arg(locationText(location.location), history_texts::statusWord(location.status, l)));
        }
    }
    return doc;
}

Result<void> writeHistoryReportPdf(const HistoryReport& report, const QString& path)
{
    return historyReportDocument(report).writePdf(path, text(texts::HistoryTitle, report.languageIndex));
}

} // namespace quilex
