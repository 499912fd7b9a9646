#pragma once
// "История обследований" / "Survey history": the open history as the inspector works with it.
// One row per location with every figure of "quilex-cli history rates" (worst first, sortable,
// filtered by status and group), the trend of the selected location with its readings to mark
// verified or ignored, the groups with the colour map of their grid, and the surveys. Groups,
// locations and surveys are edited in place; each edit is written to the history at once and
// is one step to undo.

#include "history/history_store.h"
#include "history/rates.h"
#include "windows/grid_map.h"

#include <QDate>
#include <QWidget>

#include <functional>
#include <optional>
#include <vector>

class QComboBox;
class QDateEdit;
class QLabel;
class QPushButton;
class QTabWidget;
class QTableView;
class QTableWidget;
class QUndoStack;
QT_BEGIN_NAMESPACE
class QChartView;
QT_END_NAMESPACE

namespace quilex {

class GroupsModel;
class LocationsFilter;
class LocationsModel;
class SurveysModel;
struct LocationTrend;

class HistoryWindow final : public QWidget {
    Q_OBJECT
public:
    explicit HistoryWindow(QWidget* parent = nullptr);
    ~HistoryWindow() override;

    // Shows the history that `store` keeps (the caller keeps the store, and keeps it until the
    // next call). Reads it whole; false when it could not be read (the user has been told), and
    // the window then shows no history.
    bool setHistory(HistoryStore* store, const QString& path);
    // Reads the history again (after an add): false when it could not be read (told).
    bool reload();
    // The window's texts in the language in use.
    void retranslate();

    void setAsOf(QDate asOf);
    QDate asOf() const { return asOf_; }
    void setRateChoice(RateChoice rate);

    // Selects a location in the table (showing it if a filter hid it) and draws its trend.
    void selectLocation(LocationKey location);
    std::optional<LocationKey> drawnLocation() const { return drawn_; }
    // Marks the readings of the drawn location on the day chosen in its readings list; false
    // when no day is chosen or the history could not be written (told).
    bool markChosenDay(Mark mark);
    // Shows the group's grid map in the groups' tab.
    void showGroup(std::int32_t series);
    void showSurveys();

    const QString& path() const { return path_; }
    const HistorySettings& settings() const { return settings_; }

    QTabWidget* tabs() const { return tabs_; }
    QTableView* locationsView() const { return locationsView_; }
    LocationsModel* locationsModel() const { return locations_; }
    LocationsFilter* locationsFilter() const { return filter_; }
    QComboBox* statusFilter() const { return statusFilter_; }
    QComboBox* groupFilter() const { return groupFilter_; }
    QDateEdit* asOfEdit() const { return asOfEdit_; }
    QComboBox* rateChoice() const { return rateChoice_; }
    QChartView* trendView() const { return trendView_; }
    QTableWidget* readingsTable() const { return readings_; }
    QPushButton* verifiedButton() const { return verified_; }
    QPushButton* ignoredButton() const { return ignored_; }
    QPushButton* clearMarkButton() const { return clearMark_; }
    QTableView* groupsView() const { return groupsView_; }
    GroupsModel* groupsModel() const { return groups_; }
    QComboBox* mapFigure() const { return mapFigure_; }
    GridMap* gridMap() const { return map_; }
    QLabel* mapNote() const { return mapNote_; }
    QTableView* surveysView() const { return surveysView_; }
    SurveysModel* surveysModel() const { return surveys_; }
    QUndoStack* undoStack() const { return undo_; }
    QPushButton* undoButton() const { return undoButton_; }
    QPushButton* redoButton() const { return redoButton_; }

    // How a failure is told; replaceable for tests. Gets the message in the language in use.
    std::function<void(QWidget* parent, const QString& message)> tellError;

private:
    void buildLayout();
    void clear();
    void recomputeAll();
    // The figures of the locations `which` accepts again, after their settings or readings
    // changed.
    void recompute(const std::function<bool(LocationKey)>& which);
    void afterFiguresChanged();
    void fillGroupFilter();
    void updateCaption();
    void updateShownCount();
    void fitLocationColumns();
    void drawTrend(std::optional<LocationKey> location);
    void fillReadings(const LocationTrend& trend);
    void chooseReadingNear(qreal msecs);
    void updateMap();
    void loadSurveys();

    // Edits from the tables' cells; false when refused (told).
    bool editLocation(int row, int column, const QString& text);
    bool editGroup(int row, int column, const QString& text);
    bool editSurvey(int row, int column, const QString& text);
    // Writes and redraws; false when the history refused it (told).
    bool writeLocation(const LocationSettings& location);
    bool writeGroup(const GroupSettings& group);
    bool writeDefaults(const GroupValues& values);
    bool writeSurvey(std::int64_t survey, const SurveyDetails& details);
    bool writeMark(LocationKey location, QDate day, Mark mark);
    // Writes `after` and, when that worked, keeps a step that writes `before` back. Both by
    // value: the write reads the history's settings anew, which `before` may have come from.
    template <typename T>
    bool pushEdit(const QString& step, std::function<bool(const T&)> write, T before, T after);
    bool rereadSettings();
    void fail(const QString& message);

    HistoryStore* store_ = nullptr;
    QString path_;
    HistorySettings settings_;
    std::vector<LocationMeasurements> measurements_;
    QDate asOf_;
    RateChoice rate_ = RateChoice::Larger;
    std::optional<LocationKey> drawn_;
    std::vector<QDate> readingDays_; // the day of each row of the readings list
    bool surveysLoaded_ = false;
    bool columnsFitted_ = false;

    QTabWidget* tabs_ = nullptr;
    LocationsModel* locations_ = nullptr;
    LocationsFilter* filter_ = nullptr;
    QTableView* locationsView_ = nullptr;
    QLabel* statusLabel_ = nullptr;
    QComboBox* statusFilter_ = nullptr;
    QLabel* groupLabel_ = nullptr;
    QComboBox* groupFilter_ = nullptr;
    QLabel* asOfLabel_ = nullptr;
    QDateEdit* asOfEdit_ = nullptr;
    QLabel* rateLabel_ = nullptr;
    QComboBox* rateChoice_ = nullptr;
    QPushButton* undoButton_ = nullptr;
    QPushButton* redoButton_ = nullptr;
    QLabel* shownCount_ = nullptr;
    QChartView* trendView_ = nullptr;
    QTableWidget* readings_ = nullptr;
    QPushButton* verified_ = nullptr;
    QPushButton* ignored_ = nullptr;
    QPushButton* clearMark_ = nullptr;
    GroupsModel* groups_ = nullptr;
    QTableView* groupsView_ = nullptr;
    QLabel* mapLabel_ = nullptr;
    QComboBox* mapFigure_ = nullptr;
    QLabel* mapNote_ = nullptr;
    GridMap* map_ = nullptr;
    std::optional<std::int32_t> mapSeries_;
    SurveysModel* surveys_ = nullptr;
    QTableView* surveysView_ = nullptr;
    QUndoStack* undo_ = nullptr;
};

} // namespace quilex
