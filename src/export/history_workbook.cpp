// The workbook of a survey history: Summary, Locations, Surveys, Readings.

#include "base/c_numeric_locale.h"
#include "export/file_replace.h"
#include "export/history_report.h"
#include "export/report_texts.h"
#include "history/history_tables.h"
#include "history/history_texts.h"

#include <QFile>
#include <QTime>

#include <xlsxwriter.h>

#include <algorithm>
#include <map>

namespace quilex {

namespace {

namespace texts = report_texts;

QString text(const TextPair& pair, int language)
{
    return Text(pair, std::uint8_t(language));
}

// What a column's texts are written as.
enum class Kind { Text, Whole, Thickness, Rate, Years, Date, Time };

struct Written {
    QString why; // empty: done
};

double serialDay(const QDate& date)
{
    return double(QDate(1899, 12, 30).daysTo(date));
}

class Book {
public:
    explicit Book(const QByteArray& path)
    {
        lxw_workbook_options options{};
        // Rows go out one after another and leave memory at once: a history's readings may be
        // far more than a workbook held in memory would bear.
        options.constant_memory = LXW_TRUE;
        book_ = workbook_new_opt(path.constData(), &options);
        if (!book_)
            return;
        header_ = workbook_add_format(book_);
        format_set_bold(header_);
        format_set_bg_color(header_, 0xE8E8E8);
        format_set_text_wrap(header_);
        format_set_align(header_, LXW_ALIGN_VERTICAL_TOP);
        bold_ = workbook_add_format(book_);
        format_set_bold(bold_);
        for (const auto& [kind, code] : {std::pair{Kind::Whole, "0"}, std::pair{Kind::Thickness, "0.00"},
                                         std::pair{Kind::Rate, "0.000"}, std::pair{Kind::Years, "0.0"},
                                         std::pair{Kind::Date, "yyyy-mm-dd"}, std::pair{Kind::Time, "hh:mm:ss"}}) {
            lxw_format* f = workbook_add_format(book_);
            format_set_num_format(f, code);
            formats_[kind] = f;
        }
    }
    ~Book()
    {
        if (book_)
            lxw_workbook_free(book_);
    }
    Book(const Book&) = delete;
    Book& operator=(const Book&) = delete;

    bool valid() const { return book_ && header_ && bold_; }

    lxw_error close()
    {
        lxw_workbook* book = book_;
        book_ = nullptr;
        return workbook_close(book);
    }

    // A sheet with its header row frozen, printed on A4 one page wide with the header on every
    // page, the columns as wide as given.
    lxw_worksheet* sheet(const char* name, const QStringList& header, const std::vector<double>& widths, bool landscape)
    {
        lxw_worksheet* ws = workbook_add_worksheet(book_, name);
        if (!ws)
            return nullptr;
        for (std::size_t c = 0; c < widths.size(); ++c)
            worksheet_set_column(ws, lxw_col_t(c), lxw_col_t(c), widths[c], nullptr);
        worksheet_freeze_panes(ws, 1, 0);
        worksheet_set_paper(ws, 9); // A4
        if (landscape)
            worksheet_set_landscape(ws);
        worksheet_fit_to_pages(ws, 1, 0);
        worksheet_repeat_rows(ws, 0, 0);
        for (qsizetype c = 0; c < header.size(); ++c)
            if (worksheet_write_string(ws, 0, lxw_col_t(c), header[c].toUtf8().constData(), header_) != LXW_NO_ERROR)
                return nullptr;
        return ws;
    }

    lxw_error number(lxw_worksheet* ws, lxw_row_t row, lxw_col_t col, double value, Kind kind)
    {
        return worksheet_write_number(ws, row, col, value, formats_[kind]);
    }

    lxw_error string(lxw_worksheet* ws, lxw_row_t row, lxw_col_t col, const QString& value, bool bold = false)
    {
        if (value.isEmpty())
            return LXW_NO_ERROR;
        return worksheet_write_string(ws, row, col, value.toUtf8().constData(), bold ? bold_ : nullptr);
    }

    // A cell from the text a table of the history shows: a number or a date where the column
    // holds them, written as the value that text stands for.
    lxw_error typed(lxw_worksheet* ws, lxw_row_t row, lxw_col_t col, const QString& value, Kind kind)
    {
        if (value.isEmpty())
            return LXW_NO_ERROR;
        switch (kind) {
        case Kind::Text:
            break;
        case Kind::Date:
            if (const auto date = dateFromIso(value))
                return number(ws, row, col, serialDay(*date), kind);
            break;
        case Kind::Time: {
            const QTime time = QTime::fromString(value, QStringLiteral("hh:mm:ss"));
            if (time.isValid())
                return number(ws, row, col, time.msecsSinceStartOfDay() / 86400000.0, kind);
            break;
        }
        default: {
            bool ok = false;
            const double n = value.toDouble(&ok); // the texts come with a point (QLocale::c())
            if (ok)
                return number(ws, row, col, n, kind);
            break;
        }
        }
        return string(ws, row, col, value);
    }

private:
    lxw_workbook* book_ = nullptr;
    lxw_format* header_ = nullptr;
    lxw_format* bold_ = nullptr;
    std::map<Kind, lxw_format*> formats_;
};

// Widths in the spreadsheet's character units: the header wraps, so a column needs room for
// its longest word there and its longest value below.
std::vector<double> widthsFor(const QStringList& header, const std::vector<qsizetype>& longestValues)
{
    std::vector<double> widths;
    for (qsizetype c = 0; c < header.size(); ++c) {
        qsizetype longest = 0;
        for (const QString& word : header[c].split(u' ', Qt::SkipEmptyParts))
            longest = std::max(longest, word.size());
        if (std::size_t(c) < longestValues.size())
            longest = std::max(longest, longestValues[std::size_t(c)]);
        widths.push_back(std::min(60.0, 1.15 * double(longest) + 2));
    }
    return widths;
}

const Kind RatesKinds[] = {Kind::Text,  Kind::Whole,     Kind::Whole,     Kind::Text,      Kind::Thickness,
                           Kind::Thickness, Kind::Date,  Kind::Thickness, Kind::Date,      Kind::Thickness,
                           Kind::Date,  Kind::Thickness, Kind::Rate,      Kind::Rate,      Kind::Rate,
                           Kind::Years, Kind::Date,      Kind::Years,     Kind::Date,      Kind::Text,
                           Kind::Text};
const Kind SurveyKinds[] = {Kind::Whole, Kind::Date, Kind::Text, Kind::Text,
                            Kind::Text,  Kind::Text, Kind::Text, Kind::Whole};

#define QUILEX_TRY(call)                                                                                            \
    do {                                                                                                             \
        if (const lxw_error e = (call); e != LXW_NO_ERROR)                                                           \
            return Written{QString::fromUtf8(lxw_strerror(e))};                                                      \
    } while (false)

Written summarySheet(Book& book, const HistoryReport& r)
{
    const int l = r.languageIndex;
    const StatusSummary all = summarize(r.rates);
    std::map<std::int32_t, std::vector<LocationRates>> groups;
    for (const LocationRates& location : r.rates)
        groups[location.location.series].push_back(location);
    const QStringList ratesHeader = history_texts::ratesHeader(l);
    const QStringList header{text(texts::Item, l), text(texts::Value, l)};
    QStringList groupHeader{text(texts::LimitSeries, l), text(texts::GroupName, l), text(texts::LocationsColumn, l)};
    const Status order[] = {Status::Red, Status::Amber, Status::Grey, Status::Green};
    for (Status s : order)
        groupHeader << statusName(s);
    groupHeader << text(texts::StatusColumn, l) << text(texts::NextInspection, l);
    const QStringList worstHeader{ratesHeader[0], text(texts::Group, l), ratesHeader[11], ratesHeader[14],
                                  ratesHeader[15], ratesHeader[16], ratesHeader[18], ratesHeader[19], ratesHeader[20]};
    QStringList labels;
    labels << header[0] << groupHeader << worstHeader;
    qsizetype longestLabel = 0;
    for (const QString& label : labels)
        longestLabel = std::max(longestLabel, label.size());
    std::vector<double> widths(9, 14.0);
    widths[0] = std::min(40.0, 1.1 * double(std::max<qsizetype>(longestLabel, r.settings.object.name.size())) + 2);
    widths[1] = std::max(24.0, std::min(50.0, 1.1 * double(r.settings.object.name.size()) + 2));
    lxw_worksheet* ws = book.sheet(HistorySheetNames[0], header, widths, false);
    if (!ws)
        return Written{QStringLiteral("cannot add the sheet Summary")};

    lxw_row_t row = 1;
    auto item = [&](const TextPair& label, auto&& write) -> lxw_error {
        if (const lxw_error e = book.string(ws, row, 0, text(label, l)))
            return e;
        const lxw_error e = write(row);
        ++row;
        return e;
    };
    QUILEX_TRY(item(texts::Object, [&](lxw_row_t at) { return book.string(ws, at, 1, r.settings.object.name); }));
    QUILEX_TRY(item(texts::Code, [&](lxw_row_t at) {
        return book.string(ws, at, 1, codeName(r.settings.object.code).toUpper().insert(3, u' '));
    }));
    if (r.settings.object.pipingClass)
        QUILEX_TRY(item(texts::ClassItem,
                        [&](lxw_row_t at) { return book.number(ws, at, 1, *r.settings.object.pipingClass, Kind::Whole); }));
    QUILEX_TRY(item(texts::AsOf, [&](lxw_row_t at) { return book.number(ws, at, 1, serialDay(r.asOf), Kind::Date); }));
    const TextPair& rate = r.rate == RateChoice::LongTerm    ? texts::RateLongTerm
                           : r.rate == RateChoice::ShortTerm ? texts::RateShortTerm
                                                             : texts::RateLarger;
    QUILEX_TRY(item(texts::RateRule, [&](lxw_row_t at) { return book.string(ws, at, 1, text(rate, l)); }));
    QUILEX_TRY(item(texts::Surveys, [&](lxw_row_t at) { return book.number(ws, at, 1, double(r.surveys.size()), Kind::Whole); }));
    if (!r.surveys.empty()) {
        QUILEX_TRY(item(texts::FirstSurvey,
                        [&](lxw_row_t at) { return book.number(ws, at, 1, serialDay(r.surveys.front().date), Kind::Date); }));
        QUILEX_TRY(item(texts::LastSurvey,
                        [&](lxw_row_t at) { return book.number(ws, at, 1, serialDay(r.surveys.back().date), Kind::Date); }));
    }
    QUILEX_TRY(item(texts::LocationsItem, [&](lxw_row_t at) { return book.number(ws, at, 1, double(r.rates.size()), Kind::Whole); }));
    for (Status s : order) {
        QUILEX_TRY(book.string(ws, row, 0, statusName(s)));
        QUILEX_TRY(book.number(ws, row, 1, all.counts[std::size_t(s)], Kind::Whole));
        ++row;
    }
    QUILEX_TRY(item(texts::WorstStatus, [&](lxw_row_t at) { return book.string(ws, at, 1, statusName(all.status)); }));
    if (all.nextInspection)
        QUILEX_TRY(item(texts::NextInspection,
                        [&](lxw_row_t at) { return book.number(ws, at, 1, serialDay(*all.nextInspection), Kind::Date); }));

    // The groups, then the ten worst locations, each under a header row of its own.
    ++row;
    QUILEX_TRY(book.string(ws, row++, 0, text(texts::GroupsHeading, l), true));
    for (qsizetype c = 0; c < groupHeader.size(); ++c)
        QUILEX_TRY(book.string(ws, row, lxw_col_t(c), groupHeader[c], true));
    ++row;
    for (const auto& [series, locations] : groups) {
        const StatusSummary summary = summarize(locations);
        const GroupSettings* group = r.settings.group(series);
        QUILEX_TRY(book.number(ws, row, 0, series, Kind::Whole));
        QUILEX_TRY(book.string(ws, row, 1, group ? group->name : QString()));
        QUILEX_TRY(book.number(ws, row, 2, double(locations.size()), Kind::Whole));
        for (std::size_t i = 0; i < std::size(order); ++i)
            QUILEX_TRY(book.number(ws, row, lxw_col_t(3 + i), summary.counts[std::size_t(order[i])], Kind::Whole));
        QUILEX_TRY(book.string(ws, row, 7, statusName(summary.status)));
        if (summary.nextInspection)
            QUILEX_TRY(book.number(ws, row, 8, serialDay(*summary.nextInspection), Kind::Date));
        ++row;
    }
    ++row;
    QUILEX_TRY(book.string(ws, row++, 0, text(texts::WorstHeading, l), true));
    for (qsizetype c = 0; c < worstHeader.size(); ++c)
        QUILEX_TRY(book.string(ws, row, lxw_col_t(c), worstHeader[c], true));
    ++row;
    const QLocale c = QLocale::c();
    for (const LocationRates* location : worstLocations(r.rates, 10)) {
        const QStringList cells = ratesRow(*location, c);
        const GroupSettings* group = r.settings.group(location->location.series);
        QUILEX_TRY(book.string(ws, row, 0, cells[0]));
        QUILEX_TRY(book.string(ws, row, 1, group ? group->name : QString()));
        const int columns[] = {11, 14, 15, 16, 18, 19, 20};
        for (std::size_t i = 0; i < std::size(columns); ++i)
            QUILEX_TRY(book.typed(ws, row, lxw_col_t(2 + i), cells[columns[i]], RatesKinds[columns[i]]));
        ++row;
    }
    return {};
}

Written locationsSheet(Book& book, const HistoryReport& r)
{
    const int l = r.languageIndex;
    QStringList header = history_texts::ratesHeader(l);
    header << text(texts::Group, l) << text(texts::Description, l);
    const QLocale c = QLocale::c();
    std::map<LocationKey, QString> descriptions;
    for (const LocationSettings& s : r.settings.locations)
        if (!s.description.isEmpty())
            descriptions.emplace(s.key, s.description);
    // Every row's texts once, for the widths and then the cells.
    std::vector<QStringList> rows;
    rows.reserve(r.rates.size());
    std::vector<qsizetype> longest(std::size_t(header.size()), 0);
    for (const LocationRates& location : r.rates) {
        QStringList cells = ratesRow(location, c);
        const GroupSettings* group = r.settings.group(location.location.series);
        const auto description = descriptions.find(location.location);
        cells << (group ? group->name : QString()) << (description == descriptions.end() ? QString() : description->second);
        for (qsizetype i = 0; i < cells.size(); ++i)
            longest[std::size_t(i)] = std::max(longest[std::size_t(i)], cells[i].size());
        rows.push_back(std::move(cells));
    }
    lxw_worksheet* ws = book.sheet(HistorySheetNames[1], header, widthsFor(header, longest), true);
    if (!ws)
        return Written{QStringLiteral("cannot add the sheet Locations")};
    for (std::size_t i = 0; i < rows.size(); ++i)
        for (qsizetype col = 0; col < rows[i].size(); ++col) {
            const Kind kind = std::size_t(col) < std::size(RatesKinds) ? RatesKinds[col] : Kind::Text;
            QUILEX_TRY(book.typed(ws, lxw_row_t(i + 1), lxw_col_t(col), rows[i][col], kind));
        }
    return {};
}

Written surveysSheet(Book& book, const HistoryReport& r)
{
    const QStringList header = history_texts::surveysHeader(r.languageIndex);
    std::vector<qsizetype> longest(std::size_t(header.size()), 10);
    std::vector<QStringList> rows;
    for (const Survey& survey : r.surveys) {
        rows.push_back(surveysRow(survey));
        for (qsizetype i = 0; i < rows.back().size(); ++i)
            longest[std::size_t(i)] = std::max(longest[std::size_t(i)], rows.back()[i].size());
    }
    lxw_worksheet* ws = book.sheet(HistorySheetNames[2], header, widthsFor(header, longest), true);
    if (!ws)
        return Written{QStringLiteral("cannot add the sheet Surveys")};
    for (std::size_t i = 0; i < rows.size(); ++i)
        for (qsizetype col = 0; col < rows[i].size(); ++col)
            QUILEX_TRY(book.typed(ws, lxw_row_t(i + 1), lxw_col_t(col), rows[i][col], SurveyKinds[col]));
    return {};
}

// Every reading as "history readings" lists it (readingsRow), written from the same values.
Written readingsSheet(Book& book, const HistoryReport& r)
{
    const QStringList header = history_texts::readingsHeader(r.languageIndex);
    std::vector<qsizetype> longest{6, 6, 6, 10, 8, 6, 6, 12, 10, 8};
    for (const Reading& reading : r.readings)
        longest[7] = std::max(longest[7], reading.material.size());
    lxw_worksheet* ws = book.sheet(HistorySheetNames[3], header, widthsFor(header, longest), false);
    if (!ws)
        return Written{QStringLiteral("cannot add the sheet Readings")};
    lxw_row_t row = 1;
    for (const Reading& reading : r.readings) {
        QUILEX_TRY(book.string(ws, row, 0, locationText(reading.location)));
        QUILEX_TRY(book.number(ws, row, 1, reading.location.series, Kind::Whole));
        QUILEX_TRY(book.number(ws, row, 2, reading.location.number, Kind::Whole));
        QUILEX_TRY(book.number(ws, row, 3, serialDay(reading.date), Kind::Date));
        if (reading.secondsOfDay)
            QUILEX_TRY(book.number(ws, row, 4, *reading.secondsOfDay / 86400.0, Kind::Time));
        QUILEX_TRY(book.number(ws, row, 5, reading.thickness / 100.0, Kind::Thickness));
        if (reading.soundSpeed)
            QUILEX_TRY(book.number(ws, row, 6, *reading.soundSpeed, Kind::Whole));
        QUILEX_TRY(book.string(ws, row, 7, reading.material));
        QUILEX_TRY(book.number(ws, row, 8, serialDay(reading.surveyDate), Kind::Date));
        QUILEX_TRY(book.string(ws, row, 9, markName(reading.mark)));
        ++row;
    }
    return {};
}

#undef QUILEX_TRY

} // namespace

Result<void> writeHistoryWorkbook(const HistoryReport& report, const QString& path)
{
    const int l = report.languageIndex;
    auto failed = [&](const QString& why) { return fail(Text(texts::CannotWriteWorkbook, std::uint8_t(l)).arg(path, why)); };
    if (report.readings.size() > MaxSheetRows || report.rates.size() > MaxSheetRows)
        return fail(text(texts::TooManyReadings, l).arg(report.readings.size()).arg(MaxSheetRows));
    ReplacingFile target(path);
    if (!target.prepare())
        return failed(target.errorString());
    {
        // The workbook library writes its numbers with printf: in C's form, whatever the locale.
        const CNumericLocale cNumbers;
        Book book(QFile::encodeName(target.temporaryPath()));
        if (!book.valid())
            return failed(QStringLiteral("cannot start the workbook"));
        for (auto sheet : {summarySheet, locationsSheet, surveysSheet, readingsSheet})
            if (const Written written = sheet(book, report); !written.why.isEmpty())
                return failed(written.why);
        if (const lxw_error e = book.close())
            return failed(QString::fromUtf8(lxw_strerror(e)));
    }
    if (!target.commit())
        return failed(target.errorString());
    return done();
}

} // namespace quilex
