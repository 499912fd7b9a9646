#include "windows/history_models.h"

#include "history/history_tables.h"
#include "history/history_texts.h"
#include "windows/history_window_texts.h"

#include <algorithm>

namespace quilex {

namespace {

namespace texts = history_window_texts;

// Orders two values that may not exist, by value, those that do not exist last in the order the
// rows are sorted in (so after them when ascending, before them when descending). Less than
// zero, zero or more than zero as a before b, neither, or after.
template <typename T>
int compareOptional(const std::optional<T>& a, const std::optional<T>& b, bool descending)
{
    if (!a || !b)
        return (int(!a) - int(!b)) * (descending ? -1 : 1);
    return *a < *b ? -1 : (*b < *a ? 1 : 0);
}

std::optional<QDate> datedDate(const std::optional<DatedThickness>& d)
{
    return d ? std::optional<QDate>(d->date) : std::nullopt;
}

std::optional<std::int32_t> datedValue(const std::optional<DatedThickness>& d)
{
    return d ? std::optional<std::int32_t>(d->thickness) : std::nullopt;
}

// A status's rank with the earlier next inspection as the worse: sorted descending, the
// locations that need attention first, and of those the most urgent.
int compareStatus(const LocationRates& a, const LocationRates& b)
{
    if (a.status != b.status)
        return a.status < b.status ? -1 : 1;
    const auto& na = a.figures.nextInspection;
    const auto& nb = b.figures.nextInspection;
    if (!na || !nb) // a date to keep is more urgent than none
        return !na && !nb ? 0 : (na ? 1 : -1);
    return *na > *nb ? -1 : (*na < *nb ? 1 : 0);
}

} // namespace

QColor statusColour(Status status)
{
    switch (status) {
    case Status::Green:
        return QColor(0x2E, 0x9E, 0x44);
    case Status::Amber:
        return QColor(0xF0, 0xA2, 0x02);
    case Status::Red:
        return QColor(0xD6, 0x28, 0x28);
    case Status::Grey:
        break;
    }
    return QColor(0x9E, 0x9E, 0x9E);
}

// ---- Locations ----

void LocationsModel::setLocations(std::vector<LocationRates> rates, std::vector<LocationSettings> settings,
                                  const QLocale& locale)
{
    beginResetModel();
    locale_ = locale;
    rates_ = std::move(rates);
    settings_ = std::move(settings);
    texts_.clear();
    texts_.reserve(rates_.size());
    for (const LocationRates& r : rates_)
        texts_.push_back(ratesRow(r, locale_));
    endResetModel();
}

void LocationsModel::updateLocation(std::size_t row, LocationRates rates, LocationSettings settings)
{
    if (row >= rates_.size())
        return;
    texts_[row] = ratesRow(rates, locale_);
    rates_[row] = std::move(rates);
    settings_[row] = std::move(settings);
}

void LocationsModel::rowsUpdated()
{
    if (!rates_.empty())
        Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1));
}

void LocationsModel::setLanguage(int languageIndex)
{
    language_ = languageIndex;
    header_ = history_texts::ratesHeader(languageIndex);
    const auto language = std::uint8_t(languageIndex);
    header_ << Text(texts::DescriptionColumn, language) << Text(texts::OwnRequiredColumn, language)
            << Text(texts::RenewedColumn, language);
    Q_EMIT headerDataChanged(Qt::Horizontal, 0, ColumnCount - 1);
}

int LocationsModel::rowOf(LocationKey location) const
{
    const auto at = std::lower_bound(rates_.begin(), rates_.end(), location,
                                     [](const LocationRates& r, LocationKey k) { return r.location < k; });
    return at != rates_.end() && at->location == location ? int(at - rates_.begin()) : -1;
}

QStringList LocationsModel::ratesTexts(int row) const
{
    return texts_[std::size_t(row)];
}

QString LocationsModel::ownText(int row, int column) const
{
    const LocationSettings& s = settings_[std::size_t(row)];
    switch (column) {
    case DescriptionColumn:
        return s.description;
    case OwnRequiredColumn:
        return s.required ? thicknessText(*s.required, locale_) : QString();
    case RenewedColumn:
        return s.renewed ? isoDate(*s.renewed) : QString();
    default:
        return {};
    }
}

bool LocationsModel::lessThan(int a, int b, int column, bool descending) const
{
    const LocationRates& ra = rates_[std::size_t(a)];
    const LocationRates& rb = rates_[std::size_t(b)];
    const LocationFigures& fa = ra.figures;
    const LocationFigures& fb = rb.figures;
    int order = 0;
    switch (column) {
    case 1:
        order = compareOptional<std::int32_t>(ra.location.series, rb.location.series, descending);
        break;
    case 2:
    case 3: // a grid's cells follow the numbers
        order = compareOptional<std::int32_t>(ra.location.number, rb.location.number, descending);
        break;
    case 4:
        order = compareOptional(ra.nominal, rb.nominal, descending);
        break;
    case 5:
        order = compareOptional(fa.required, fb.required, descending);
        break;
    case 6:
        order = compareOptional(datedDate(fa.base), datedDate(fb.base), descending);
        break;
    case 7:
        order = compareOptional(datedValue(fa.base), datedValue(fb.base), descending);
        break;
    case 8:
        order = compareOptional(datedDate(fa.previous), datedDate(fb.previous), descending);
        break;
    case 9:
        order = compareOptional(datedValue(fa.previous), datedValue(fb.previous), descending);
        break;
    case 10:
        order = compareOptional(datedDate(fa.last), datedDate(fb.last), descending);
        break;
    case 11:
        order = compareOptional(datedValue(fa.last), datedValue(fb.last), descending);
        break;
    case 12:
        order = compareOptional(fa.longTermRate, fb.longTermRate, descending);
        break;
    case 13:
        order = compareOptional(fa.shortTermRate, fb.shortTermRate, descending);
        break;
    case 14:
        order = compareOptional(fa.governingRate, fb.governingRate, descending);
        break;
    case 15:
        order = compareOptional(fa.remainingLife, fb.remainingLife, descending);
        break;
    case 16:
        order = compareOptional(fa.retirement, fb.retirement, descending);
        break;
    case 17:
        order = compareOptional(fa.interval, fb.interval, descending);
        break;
    case 18:
        order = compareOptional(fa.nextInspection, fb.nextInspection, descending);
        break;
    case StatusColumn:
        order = compareStatus(ra, rb);
        break;
    case 20:
        order = QString::compare(texts_[std::size_t(a)][20], texts_[std::size_t(b)][20]);
        break;
    case DescriptionColumn:
        order = settings_[std::size_t(a)].description.localeAwareCompare(settings_[std::size_t(b)].description);
        break;
    case OwnRequiredColumn:
        order = compareOptional(settings_[std::size_t(a)].required, settings_[std::size_t(b)].required, descending);
        break;
    case RenewedColumn:
        order = compareOptional(settings_[std::size_t(a)].renewed, settings_[std::size_t(b)].renewed, descending);
        break;
    default:
        break;
    }
    // Ties in location order whichever way the rows are sorted.
    if (order != 0)
        return order < 0;
    return descending ? rb.location < ra.location : ra.location < rb.location;
}

int LocationsModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(rates_.size());
}

int LocationsModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant LocationsModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const int row = index.row();
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        if (column == StatusColumn && role == Qt::DisplayRole)
            return history_texts::statusWord(rates_[std::size_t(row)].status, language_);
        return column < RatesColumns ? texts_[std::size_t(row)][column] : ownText(row, column);
    case Qt::DecorationRole:
        if (column == StatusColumn)
            return statusColour(rates_[std::size_t(row)].status);
        break;
    case Qt::TextAlignmentRole:
        if (column != 0 && column != StatusColumn && column != 20 && column != DescriptionColumn && column != 3)
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        break;
    default:
        break;
    }
    return {};
}

QVariant LocationsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section < header_.size())
        return header_[section];
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags LocationsModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (index.column() >= DescriptionColumn)
        f |= Qt::ItemIsEditable;
    return f;
}

bool LocationsModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || !index.isValid() || index.column() < DescriptionColumn || !edit)
        return false;
    if (value.toString() == ownText(index.row(), index.column()))
        return true;
    return edit(index.row(), index.column(), value.toString());
}

LocationsFilter::LocationsFilter(LocationsModel* model, QObject* parent)
    : QSortFilterProxyModel(parent), model_(model)
{
    setSourceModel(model);
    setDynamicSortFilter(true);
}

void LocationsFilter::setStatus(std::optional<Status> status)
{
    status_ = status;
    invalidateRowsFilter();
}

void LocationsFilter::setSeries(std::optional<std::int32_t> series)
{
    series_ = series;
    invalidateRowsFilter();
}

bool LocationsFilter::filterAcceptsRow(int sourceRow, const QModelIndex&) const
{
    const LocationRates& r = model_->rates()[std::size_t(sourceRow)];
    return (!status_ || r.status == *status_) && (!series_ || r.location.series == *series_);
}

bool LocationsFilter::lessThan(const QModelIndex& left, const QModelIndex& right) const
{
    return model_->lessThan(left.row(), right.row(), left.column(), sortOrder() == Qt::DescendingOrder);
}

// ---- Groups ----

void GroupsModel::setGroups(const HistorySettings& settings, std::span<const LocationRates> rates, const QLocale& locale)
{
    beginResetModel();
    rows_.clear();
    Row all;
    all.texts = groupRow(Text(texts::NameOfDefaults, std::uint8_t(language_)), {}, settings.defaults, locale);
    all.texts[NameColumn].clear();
    all.summary = summarize(rates);
    rows_.push_back(std::move(all));
    auto first = rates.begin();
    for (const GroupSettings& g : settings.groups) {
        // Both are in series order: each group's locations are the next stretch of the rates.
        while (first != rates.end() && first->location.series < g.series)
            ++first;
        auto last = first;
        while (last != rates.end() && last->location.series == g.series)
            ++last;
        Row row;
        row.series = g.series;
        row.texts = groupRow(QString::number(g.series), g.name, g.values, locale);
        row.summary = summarize(std::span<const LocationRates>(first, last));
        rows_.push_back(std::move(row));
        first = last;
    }
    endResetModel();
}

void GroupsModel::setLanguage(int languageIndex)
{
    language_ = languageIndex;
    const auto language = std::uint8_t(languageIndex);
    header_ = history_texts::groupHeader(languageIndex);
    header_ << Text(texts::LocationsColumn, language) << Text(texts::StatusColumn, language)
            << Text(texts::NextInspectionColumn, language);
    if (!rows_.empty()) {
        rows_.front().texts[SeriesColumn] = Text(texts::NameOfDefaults, language);
        Q_EMIT dataChanged(index(0, 0), index(0, 0));
    }
    Q_EMIT headerDataChanged(Qt::Horizontal, 0, ColumnCount - 1);
}

std::optional<std::int32_t> GroupsModel::seriesAt(int row) const
{
    return row >= 0 && row < rowCount() ? rows_[std::size_t(row)].series : std::nullopt;
}

int GroupsModel::rowOf(std::int32_t series) const
{
    for (std::size_t r = 0; r < rows_.size(); ++r)
        if (rows_[r].series == series)
            return int(r);
    return -1;
}

int GroupsModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(rows_.size());
}

int GroupsModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant GroupsModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const Row& row = rows_[std::size_t(index.row())];
    const int column = index.column();
    if (role == Qt::DisplayRole || role == Qt::EditRole) {
        if (column < LocationsColumn)
            return row.texts[column];
        const StatusSummary& s = *row.summary;
        int count = 0;
        for (int c : s.counts)
            count += c;
        if (column == LocationsColumn)
            return QString::number(count);
        if (column == StatusColumn)
            return count > 0 ? history_texts::statusWord(s.status, language_) : QString();
        return s.nextInspection ? isoDate(*s.nextInspection) : QString();
    }
    if (role == Qt::DecorationRole && column == StatusColumn && row.summary) {
        int count = 0;
        for (int c : row.summary->counts)
            count += c;
        if (count > 0)
            return statusColour(row.summary->status);
    }
    return {};
}

QVariant GroupsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section < header_.size())
        return header_[section];
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags GroupsModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    const int column = index.column();
    const bool defaults = index.row() == 0;
    if ((column == NameColumn && !defaults) || (column >= NominalColumn && column <= FirstNumberColumn))
        f |= Qt::ItemIsEditable;
    return f;
}

bool GroupsModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || !index.isValid() || !(flags(index) & Qt::ItemIsEditable) || !edit)
        return false;
    if (value.toString() == rows_[std::size_t(index.row())].texts[index.column()])
        return true;
    return edit(index.row(), index.column(), value.toString());
}

// ---- Surveys ----

void SurveysModel::setSurveys(std::vector<Survey> surveys)
{
    beginResetModel();
    surveys_ = std::move(surveys);
    texts_.clear();
    for (const Survey& s : surveys_)
        texts_.push_back(surveysRow(s));
    endResetModel();
}

void SurveysModel::setLanguage(int languageIndex)
{
    header_ = history_texts::surveysHeader(languageIndex);
    Q_EMIT headerDataChanged(Qt::Horizontal, 0, ColumnCount - 1);
}

int SurveysModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(surveys_.size());
}

int SurveysModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant SurveysModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        return texts_[std::size_t(index.row())][index.column()];
    if (role == Qt::TextAlignmentRole && (index.column() == NumberColumn || index.column() == ReadingsColumn))
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant SurveysModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section < header_.size())
        return header_[section];
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags SurveysModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (index.column() >= LabelColumn && index.column() <= SourceColumn)
        f |= Qt::ItemIsEditable;
    return f;
}

bool SurveysModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || !index.isValid() || !(flags(index) & Qt::ItemIsEditable) || !edit)
        return false;
    if (value.toString() == texts_[std::size_t(index.row())][index.column()])
        return true;
    return edit(index.row(), index.column(), value.toString());
}

} // namespace quilex
