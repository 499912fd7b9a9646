#include "table/statistics_model.h"

#include <QLocale>

namespace quilex {

StatisticsModel::StatisticsModel(QObject* parent) : QAbstractTableModel(parent)
{
    qRegisterMetaType<quilex::TableLimits>();
}

void StatisticsModel::update(std::span<const ArchiveValues> rows, const TableLimits& limits, int languageIndex)
{
    beginResetModel();
    limits_ = limits;
    languageIndex_ = languageIndex;
    statistics_ = computeStatistics(rows, limits);
    // The limits' columns are always there to be filled in; the figures that follow from them
    // only once one is set.
    statistics_.anyLimits = true;
    table_ = statisticsTable(statistics_, languageIndex);
    // Every text once, for a view that asks for each cell again at every paint and fit.
    QLocale plain = QLocale::system();
    plain.setNumberOptions(QLocale::OmitGroupSeparator);
    rowTexts_.clear();
    inherited_.clear();
    for (std::size_t r = 0; r < table_.rows.size(); ++r) {
        QStringList texts;
        for (std::size_t c = 0; c < table_.rows[r].size(); ++c)
            texts << statisticsCellText(table_.rows[r][c], int(c), plain);
        std::array<bool, 2> inherited{};
        texts << limitText(int(r), true, &inherited[0], plain) << limitText(int(r), false, &inherited[1], plain);
        rowTexts_.push_back(std::move(texts));
        inherited_.push_back(inherited);
    }
    endResetModel();
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
    QStringList header = table_.header;
    header << (languageIndex_ == 1 ? QStringLiteral("Nominal, mm") : QStringLiteral("Номинал, мм"))
           << (languageIndex_ == 1 ? QStringLiteral("Allowable minimum, mm") : QStringLiteral("Допустимый минимум, мм"));
    return header;
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
    const bool limit = column >= figureColumns();
    const bool inherited = limit && inherited_[std::size_t(index.row())][std::size_t(column - figureColumns())];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        if (column >= rowTexts_[std::size_t(index.row())].size())
            return {};
        return role == Qt::EditRole && inherited ? QString() : rowTexts_[std::size_t(index.row())][column];
    case Qt::ForegroundRole:
        if (inherited)
            return QVariant::fromValue(Qt::GlobalColor::gray);
        return {};
    case Qt::TextAlignmentRole:
        return int((column == 0 ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter);
    default:
        return {};
    }
}

QVariant StatisticsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole) {
        const QStringList header = headerTexts();
        return section < header.size() ? header[section] : QVariant();
    }
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
