#include "table/statistics_model.h"

#include "base/texts.h"

#include <QLocale>

#include <algorithm>

namespace quilex {

namespace {

const TextPair InheritedTip{u"Предел всей таблицы: у серии нет своего", u"The whole table's limit: the series has none of its own"};
const TextPair RecordTip{u"Двойной щелчок показывает эту запись в таблице", u"Double-click to show this record in the table"};

} // namespace

StatisticsModel::StatisticsModel(QObject* parent) : QAbstractTableModel(parent)
{
    qRegisterMetaType<quilex::TableLimits>();
}

QString StatisticsModel::twoLineHeader(const QString& header)
{
    qsizetype best = -1;
    qsizetype bestLonger = header.size();
    for (qsizetype at = header.indexOf(u' '); at > 0; at = header.indexOf(u' ', at + 1)) {
        const qsizetype longer = std::max(at, header.size() - at - 1);
        if (longer < bestLonger) {
            bestLonger = longer;
            best = at;
        }
    }
    if (best < 0)
        return header;
    return header.left(best) + u'\n' + header.mid(best + 1);
}

void StatisticsModel::update(std::span<const ArchiveValues> rows, const TableLimits& limits, int languageIndex)
{
    ArchiveStatistics statistics = computeStatistics(rows, limits);
    // The limits' columns are always there to be filled in; the figures that follow from them
    // only once one is set.
    statistics.anyLimits = true;
    StatisticsTable table = statisticsTable(statistics, languageIndex);
    const bool sameShape = languageIndex == languageIndex_ && table.rows.size() == table_.rows.size() &&
                           table.header.size() == table_.header.size();
    if (!sameShape)
        beginResetModel();
    limits_ = limits;
    languageIndex_ = languageIndex;
    statistics_ = std::move(statistics);
    table_ = std::move(table);
    // Every text once, for a view that asks for each cell again at every paint.
    QLocale plain = QLocale::system();
    plain.setNumberOptions(QLocale::OmitGroupSeparator);
    std::vector<QStringList> texts;
    std::vector<std::array<bool, 2>> inherited;
    texts.reserve(table_.rows.size());
    inherited.reserve(table_.rows.size());
    for (std::size_t r = 0; r < table_.rows.size(); ++r) {
        QStringList row;
        row.reserve(qsizetype(table_.rows[r].size()) + 2);
        for (std::size_t c = 0; c < table_.rows[r].size(); ++c)
            row << statisticsCellText(table_.rows[r][c], int(c), plain);
        std::array<bool, 2> rowInherited{};
        row << limitText(int(r), true, &rowInherited[0], plain) << limitText(int(r), false, &rowInherited[1], plain);
        texts.push_back(std::move(row));
        inherited.push_back(rowInherited);
    }
    const int columns = columnCount();
    std::vector<bool> changed(std::size_t(columns), !sameShape);
    if (sameShape) {
        for (std::size_t r = 0; r < texts.size(); ++r) {
            for (int c = 0; c < columns; ++c)
                if (!changed[std::size_t(c)] && texts[r][c] != rowTexts_[r][c])
                    changed[std::size_t(c)] = true;
            for (int k = 0; k < 2; ++k)
                if (inherited[r][std::size_t(k)] != inherited_[r][std::size_t(k)])
                    changed[std::size_t(figureColumns() + k)] = true;
        }
    }
    rowTexts_ = std::move(texts);
    inherited_ = std::move(inherited);
    changedColumns_ = std::move(changed);
    if (!sameShape) {
        header_.clear();
        for (const QString& title : headerTexts())
            header_ << twoLineHeader(title);
        endResetModel();
        return;
    }
    const auto first = std::find(changedColumns_.begin(), changedColumns_.end(), true);
    if (first == changedColumns_.end())
        return;
    const auto last = std::find(changedColumns_.rbegin(), changedColumns_.rend(), true);
    Q_EMIT dataChanged(index(0, int(first - changedColumns_.begin())),
                       index(rowCount() - 1, columns - 1 - int(last - changedColumns_.rbegin())));
}

const SeriesStatistics& StatisticsModel::rowStatistics(int row) const
{
    return row >= 0 && row < int(statistics_.series.size()) ? statistics_.series[std::size_t(row)] : statistics_.all;
}

int StatisticsModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(table_.rows.size());
}

int StatisticsModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : figureColumns() + 2;
}

QStringList StatisticsModel::headerTexts() const
{
    return table_.header + statisticsLimitsHeader(languageIndex_);
}

bool StatisticsModel::inheritedLimit(int row, int column) const
{
    if (row < 0 || row >= int(inherited_.size()) || column < figureColumns() || column >= columnCount())
        return false;
    return inherited_[std::size_t(row)][std::size_t(column - figureColumns())];
}

QString StatisticsModel::limitText(int row, bool nominal, bool* inherited, const QLocale& plain) const
{
    const bool all = row == int(table_.rows.size()) - 1;
    const std::optional<std::int32_t> series = all ? std::nullopt : statistics_.series[std::size_t(row)].series;
    std::optional<std::int32_t> own;
    if (all) {
        own = nominal ? limits_.table.nominal : limits_.table.minimum;
    } else if (auto found = limits_.series.find(*series); found != limits_.series.end()) {
        own = nominal ? found->second.nominal : found->second.minimum;
    }
    std::optional<std::int32_t> shown = own;
    if (!own && !all)
        shown = nominal ? limits_.table.nominal : limits_.table.minimum;
    if (inherited)
        *inherited = !own && shown;
    if (!shown)
        return {};
    return plain.toString(*shown / 100.0, 'f', 2);
}

QVariant StatisticsModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const int column = index.column();
    const bool inherited = inheritedLimit(index.row(), column);
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        if (column >= rowTexts_[std::size_t(index.row())].size())
            return {};
        return role == Qt::EditRole && inherited ? QString() : rowTexts_[std::size_t(index.row())][column];
    case InheritedLimitRole:
        return inherited;
    case Qt::ToolTipRole:
        if (inherited)
            return Text(InheritedTip, std::uint8_t(languageIndex_));
        if ((column == statistics_column::MinimumRecord || column == statistics_column::MaximumRecord) &&
            rowStatistics(index.row()).readings > 0)
            return Text(RecordTip, std::uint8_t(languageIndex_));
        return {};
    case Qt::TextAlignmentRole:
        return int((column == 0 ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter);
    default:
        return {};
    }
}

QVariant StatisticsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return section >= 0 && section < header_.size() ? header_[section] : QVariant();
    return {};
}

Qt::ItemFlags StatisticsModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (index.isValid() && index.column() >= figureColumns())
        f |= Qt::ItemIsEditable;
    return f;
}

bool StatisticsModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || !index.isValid() || index.column() < figureColumns())
        return false;
    const QString text = value.toString().trimmed();
    std::optional<std::int32_t> limit;
    if (!text.isEmpty()) {
        limit = limitFromText(text);
        if (!limit)
            return false; // not a thickness: the cell keeps what it had
    }
    const bool nominal = index.column() == figureColumns();
    TableLimits limits = limits_;
    const bool all = index.row() == rowCount() - 1;
    ThicknessLimits& target =
        all ? limits.table : limits.series[*statistics_.series[std::size_t(index.row())].series];
    (nominal ? target.nominal : target.minimum) = limit;
    if (!all && target.empty())
        limits.series.erase(*statistics_.series[std::size_t(index.row())].series);
    Q_EMIT limitsEdited(limits);
    return true;
}

} // namespace quilex
