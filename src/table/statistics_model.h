#pragma once
// The statistics of the archive as a Qt model, for the statistics window: the figures of
// statistics.h, one row per series and the whole table's last, and two more columns that hold
// the limits: a series' own nominal and minimum (where the table's hold for it, those are shown
// and marked as the table's), and on the whole table's row the table's. Those two columns are
// edited in place.

#include "table/statistics.h"

#include <QAbstractTableModel>

#include <QLocale>

#include <array>
#include <functional>
#include <span>

namespace quilex {

class StatisticsModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    // True for a limit a series shows because it has none of its own: the whole table's. The
    // window draws those apart from a series' own.
    static constexpr int InheritedLimitRole = Qt::UserRole + 1;

    explicit StatisticsModel(QObject* parent = nullptr);

    // Recomputes from the table's rows' values and the limits, in a language. When only the
    // figures change (a limit typed, the same series), the rows stay and only the cells whose
    // texts changed are told; a view keeps its columns and selection.
    void update(std::span<const ArchiveValues> rows, const TableLimits& limits, int languageIndex);
    const ArchiveStatistics& statistics() const { return statistics_; }
    const TableLimits& limits() const { return limits_; }
    // The figures of a row: a series', or the whole table's on the last row.
    const SeriesStatistics& rowStatistics(int row) const;
    // The figures as the window shows them (header and rows of texts), for copying and printing.
    QStringList headerTexts() const;
    const std::vector<QStringList>& rowTexts() const { return rowTexts_; }
    bool inheritedLimit(int row, int column) const;
    int figureColumns() const { return int(table_.header.size()); }
    // Which columns' texts changed at the last update: the widths of the others stand.
    const std::vector<bool>& changedColumns() const { return changedColumns_; }

    // A header on two lines, broken at the space that leaves the longer line shortest, so the
    // columns are about as wide as their figures.
    static QString twoLineHeader(const QString& header);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

Q_SIGNALS:
    // The user set a limit; the owner of the table keeps it (and computes anew).
    void limitsEdited(const quilex::TableLimits& limits);

private:
    QString limitText(int row, bool nominal, bool* inherited, const QLocale& plain) const;

    ArchiveStatistics statistics_;
    StatisticsTable table_;
    TableLimits limits_;
    int languageIndex_ = -1;
    QStringList header_;                           // as shown: on two lines
    std::vector<QStringList> rowTexts_;            // every cell as shown, limits included
    std::vector<std::array<bool, 2>> inherited_;   // the limits shown are the table's
    std::vector<bool> changedColumns_;
};

} // namespace quilex
