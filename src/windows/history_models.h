#pragma once
// The tables of the history window as Qt models over the history's own figures: the locations
// with every column of "quilex-cli history rates" (the very texts it writes, made by ratesRow)
// and the location's own settings after them, the groups with their status, and the surveys.
// Edits come back as texts through `edit`, which writes them to the history or refuses them.

#include "history/history_types.h"
#include "history/rates.h"

#include <QAbstractTableModel>
#include <QColor>
#include <QLocale>
#include <QSortFilterProxyModel>

#include <functional>
#include <optional>
#include <span>
#include <vector>

namespace quilex {

// The colour of a status's mark; the status's word always stands beside it.
QColor statusColour(Status status);

// What an edited cell asks for: the row, the column and the text typed. False when the text was
// refused or the history could not be written (the user has been told).
using CellEdit = std::function<bool(int row, int column, const QString& text)>;

class LocationsModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    // After the columns of the rates: the location's own settings, edited in place.
    enum Column { StatusColumn = 19, DescriptionColumn = 21, OwnRequiredColumn, RenewedColumn, ColumnCount };
    static constexpr int RatesColumns = 21;

    using QAbstractTableModel::QAbstractTableModel;

    // Every location anew (rates by location, their settings the same locations in the same order).
    void setLocations(std::vector<LocationRates> rates, std::vector<LocationSettings> settings, const QLocale& locale);
    // Some locations' figures and settings again, in place: the rows keep their places.
    void updateLocation(std::size_t row, LocationRates rates, LocationSettings settings);
    // Tells the views that every row may have changed after updateLocation calls.
    void rowsUpdated();
    void setLanguage(int languageIndex);

    const std::vector<LocationRates>& rates() const { return rates_; }
    const LocationSettings& settingsAt(int row) const { return settings_[std::size_t(row)]; }
    // The row of a location, or -1.
    int rowOf(LocationKey location) const;
    // The texts of a row as "history rates" writes them (the first RatesColumns columns).
    QStringList ratesTexts(int row) const;
    // Whether row a comes before row b in the column, ascending (descending: the other way);
    // either way a value that does not exist comes after every one that does.
    bool lessThan(int a, int b, int column, bool descending = false) const;

    CellEdit edit;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

private:
    QString ownText(int row, int column) const;

    int language_ = 0;
    std::vector<LocationRates> rates_;
    std::vector<LocationSettings> settings_;
    std::vector<QStringList> texts_;
    QStringList header_;
    QLocale locale_;
};

// The locations shown: by status and by group, sorted by any column (the worst first at the start).
class LocationsFilter final : public QSortFilterProxyModel {
    Q_OBJECT
public:
    explicit LocationsFilter(LocationsModel* model, QObject* parent = nullptr);
    void setStatus(std::optional<Status> status);
    void setSeries(std::optional<std::int32_t> series);
    std::optional<Status> status() const { return status_; }
    std::optional<std::int32_t> series() const { return series_; }

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

private:
    LocationsModel* model_;
    std::optional<Status> status_;
    std::optional<std::int32_t> series_;
};

// The defaults ("all") on the first row, then each group, with its locations' worst status and
// earliest next inspection after the columns of "history group".
class GroupsModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { SeriesColumn, NameColumn, NominalColumn, RequiredColumn, GridColumnsColumn, FirstNumberColumn,
                  LocationsColumn, StatusColumn, NextColumn, ColumnCount };

    using QAbstractTableModel::QAbstractTableModel;

    void setGroups(const HistorySettings& settings, std::span<const LocationRates> rates, const QLocale& locale);
    void setLanguage(int languageIndex);
    // The series of a row; none for the defaults' row.
    std::optional<std::int32_t> seriesAt(int row) const;
    int rowOf(std::int32_t series) const;

    CellEdit edit;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

private:
    struct Row {
        std::optional<std::int32_t> series;
        QStringList texts;
        std::optional<StatusSummary> summary;
    };
    std::vector<Row> rows_;
    QStringList header_;
    int language_ = 0;
};

// One row per survey, as "history surveys" writes it; its texts (label to source) editable.
class SurveysModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { NumberColumn, DateColumn, LabelColumn, OperatorColumn, GaugeColumn, ProbeColumn, SourceColumn,
                  ReadingsColumn, ColumnCount };

    using QAbstractTableModel::QAbstractTableModel;

    void setSurveys(std::vector<Survey> surveys);
    void setLanguage(int languageIndex);
    const std::vector<Survey>& surveys() const { return surveys_; }

    CellEdit edit;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

private:
    std::vector<Survey> surveys_;
    std::vector<QStringList> texts_;
    QStringList header_;
};

} // namespace quilex
