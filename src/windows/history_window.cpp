#include "windows/history_window.h"

#include "base/texts.h"
#include "charts/trend_chart.h"
#include "history/history_texts.h"
#include "history/history_tables.h"
#include "table/main_window_texts.h"
#include "windows/history_models.h"
#include "windows/history_window_texts.h"
#include "windows/text_fit.h"

#include <QBoxLayout>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDateEdit>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeySequence>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QScatterSeries>
#include <QScreen>
#include <QScrollArea>
#include <QShortcut>
#include <QSplitter>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QUndoCommand>
#include <QUndoStack>

#include <algorithm>
#include <climits>

namespace quilex {

namespace {

namespace texts = history_window_texts;

void tellWithABox(QWidget* parent, const QString& message)
{
    QMessageBox box(QMessageBox::Critical, Text(MainText::ErrorCaption), message, QMessageBox::Ok, parent);
    box.exec();
}

// One edit of the history: its first doing is the write the window has just made; undo and
// redo write the values before and after again.
class StoreEdit final : public QUndoCommand {
public:
    StoreEdit(const QString& text, std::function<void()> undo, std::function<void()> redo)
        : QUndoCommand(text), undo_(std::move(undo)), redo_(std::move(redo))
    {
    }
    void undo() override { undo_(); }
    void redo() override
    {
        if (first_) {
            first_ = false;
            return;
        }
        redo_();
    }

private:
    std::function<void()> undo_;
    std::function<void()> redo_;
    bool first_ = true;
};

QIcon statusIcon(Status status, int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(statusColour(status).darker(140));
    painter.setBrush(statusColour(status));
    painter.drawEllipse(QRectF(1, 1, size - 2, size - 2));
    return QIcon(pixmap);
}

// A thickness cell into `value` (empty clears it); false when the text is none.
bool thicknessInput(const QString& text, std::optional<std::int32_t>& value)
{
    if (text.trimmed().isEmpty()) {
        value.reset();
        return true;
    }
    value = thicknessFromText(text);
    return value.has_value();
}

bool wholeInput(const QString& text, std::int64_t low, std::int64_t high, std::optional<std::int32_t>& value)
{
    const QString t = text.trimmed();
    value.reset();
    if (t.isEmpty())
        return true;
    bool ok = false;
    const qlonglong number = t.toLongLong(&ok);
    if (!ok || number < low || number > high || t.startsWith(u'+'))
        return false;
    value = std::int32_t(number);
    return true;
}

constexpr Status FilterStatuses[] = {Status::Red, Status::Amber, Status::Grey, Status::Green};

} // namespace

HistoryWindow::HistoryWindow(QWidget* parent)
    : QWidget(parent, Qt::Window), tellError(tellWithABox), asOf_(QDate::currentDate())
{
    buildLayout();
    retranslate();
    clear();
}

HistoryWindow::~HistoryWindow()
{
    // The undo steps write through the store, which the window does not own.
    undo_->clear();
}

void HistoryWindow::buildLayout()
{
    undo_ = new QUndoStack(this);

    // The bar over the tabs: filters, the day and rate the figures are for, undo and redo.
    statusLabel_ = new QLabel(this);
    statusFilter_ = new QComboBox(this);
    groupLabel_ = new QLabel(this);
    groupFilter_ = new QComboBox(this);
    groupFilter_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    asOfLabel_ = new QLabel(this);
    asOfEdit_ = new QDateEdit(this);
    asOfEdit_->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    asOfEdit_->setCalendarPopup(true);
    rateLabel_ = new QLabel(this);
    rateChoice_ = new QComboBox(this);
    undoButton_ = new QPushButton(this);
    redoButton_ = new QPushButton(this);
    undoButton_->setEnabled(false);
    redoButton_->setEnabled(false);
    auto* bar = new QHBoxLayout;
    bar->addWidget(statusLabel_);
    bar->addWidget(statusFilter_);
    bar->addSpacing(8);
    bar->addWidget(groupLabel_);
    bar->addWidget(groupFilter_);
    bar->addSpacing(8);
    bar->addWidget(asOfLabel_);
    bar->addWidget(asOfEdit_);
    bar->addSpacing(8);
    bar->addWidget(rateLabel_);
    bar->addWidget(rateChoice_);
    bar->addStretch(1);
    bar->addWidget(undoButton_);
    bar->addWidget(redoButton_);

    tabs_ = new QTabWidget(this);

    // The locations: the table over the trend and the readings of the selected one.
    locations_ = new LocationsModel(this);
    filter_ = new LocationsFilter(locations_, this);
    locationsView_ = new QTableView(this);
    locationsView_->setModel(filter_);
    locationsView_->setSortingEnabled(true);
    locationsView_->setSelectionBehavior(QAbstractItemView::SelectRows);
    locationsView_->setSelectionMode(QAbstractItemView::SingleSelection);
    locationsView_->verticalHeader()->hide();
    locationsView_->verticalHeader()->setDefaultSectionSize(locationsView_->fontMetrics().height() + 6);
    locationsView_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                                    QAbstractItemView::AnyKeyPressed);
    locationsView_->horizontalHeader()->setSortIndicator(LocationsModel::StatusColumn, Qt::DescendingOrder);
    trendView_ = new QChartView(this);
    trendView_->setRenderHint(QPainter::Antialiasing);
    trendView_->setMinimumHeight(200);
    readings_ = new QTableWidget(0, 4, this);
    readings_->verticalHeader()->hide();
    readings_->setSelectionBehavior(QAbstractItemView::SelectRows);
    readings_->setSelectionMode(QAbstractItemView::SingleSelection);
    readings_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    readings_->verticalHeader()->setDefaultSectionSize(readings_->fontMetrics().height() + 6);
    verified_ = new QPushButton(this);
    ignored_ = new QPushButton(this);
    clearMark_ = new QPushButton(this);
    shownCount_ = new QLabel(this);
    auto* markButtons = new QHBoxLayout;
    markButtons->addWidget(verified_);
    markButtons->addWidget(ignored_);
    markButtons->addWidget(clearMark_);
    auto* readingsBox = new QWidget(this);
    auto* readingsLayout = new QVBoxLayout(readingsBox);
    readingsLayout->setContentsMargins(0, 0, 0, 0);
    readingsLayout->addWidget(readings_, 1);
    readingsLayout->addLayout(markButtons);
    auto* lower = new QSplitter(Qt::Horizontal, this);
    lower->addWidget(trendView_);
    lower->addWidget(readingsBox);
    lower->setStretchFactor(0, 3);
    lower->setStretchFactor(1, 1);
    auto* split = new QSplitter(Qt::Vertical, this);
    split->addWidget(locationsView_);
    split->addWidget(lower);
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 1);
    auto* locationsPage = new QWidget(this);
    auto* locationsLayout = new QVBoxLayout(locationsPage);
    locationsLayout->addWidget(split, 1);
    locationsLayout->addWidget(shownCount_);
    tabs_->addTab(locationsPage, QString());

    // The groups, and the map of the selected one's grid.
    groups_ = new GroupsModel(this);
    groupsView_ = new QTableView(this);
    groupsView_->setModel(groups_);
    groupsView_->setSelectionBehavior(QAbstractItemView::SelectRows);
    groupsView_->setSelectionMode(QAbstractItemView::SingleSelection);
    groupsView_->verticalHeader()->hide();
    groupsView_->verticalHeader()->setDefaultSectionSize(groupsView_->fontMetrics().height() + 6);
    groupsView_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                                 QAbstractItemView::AnyKeyPressed);
    mapLabel_ = new QLabel(this);
    mapFigure_ = new QComboBox(this);
    mapNote_ = new QLabel(this);
    map_ = new GridMap(this);
    auto* mapArea = new QScrollArea(this);
    mapArea->setWidget(map_);
    mapArea->setWidgetResizable(false);
    auto* mapBar = new QHBoxLayout;
    mapBar->addWidget(mapLabel_);
    mapBar->addWidget(mapFigure_);
    mapBar->addSpacing(12);
    mapBar->addWidget(mapNote_, 1);
    auto* mapBox = new QWidget(this);
    auto* mapLayout = new QVBoxLayout(mapBox);
    mapLayout->setContentsMargins(0, 0, 0, 0);
    mapLayout->addLayout(mapBar);
    mapLayout->addWidget(mapArea, 1);
    auto* groupsSplit = new QSplitter(Qt::Vertical, this);
    groupsSplit->addWidget(groupsView_);
    groupsSplit->addWidget(mapBox);
    groupsSplit->setStretchFactor(1, 2);
    tabs_->addTab(groupsSplit, QString());

    // The surveys.
    surveys_ = new SurveysModel(this);
    surveysView_ = new QTableView(this);
    surveysView_->setModel(surveys_);
    surveysView_->verticalHeader()->hide();
    surveysView_->verticalHeader()->setDefaultSectionSize(surveysView_->fontMetrics().height() + 6);
    surveysView_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                                  QAbstractItemView::AnyKeyPressed);
    tabs_->addTab(surveysView_, QString());

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(tabs_, 1);

    locations_->edit = [this](int row, int column, const QString& text) { return editLocation(row, column, text); };
    groups_->edit = [this](int row, int column, const QString& text) { return editGroup(row, column, text); };
    surveys_->edit = [this](int row, int column, const QString& text) { return editSurvey(row, column, text); };

    connect(statusFilter_, &QComboBox::currentIndexChanged, this, [this](int index) {
        filter_->setStatus(index > 0 ? std::optional<Status>(FilterStatuses[index - 1]) : std::nullopt);
        updateShownCount();
    });
    connect(groupFilter_, &QComboBox::currentIndexChanged, this, [this](int index) {
        const QVariant series = groupFilter_->itemData(index);
        filter_->setSeries(series.isValid() ? std::optional<std::int32_t>(series.toInt()) : std::nullopt);
        updateShownCount();
    });
    connect(asOfEdit_, &QDateEdit::dateChanged, this, [this](QDate date) { setAsOf(date); });
    connect(rateChoice_, &QComboBox::currentIndexChanged, this, [this](int index) {
        setRateChoice(index == 1 ? RateChoice::LongTerm : index == 2 ? RateChoice::ShortTerm : RateChoice::Larger);
    });
    connect(locationsView_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (!current.isValid())
                    return;
                const int row = filter_->mapToSource(current).row();
                drawTrend(locations_->rates()[std::size_t(row)].location);
            });
    connect(readings_, &QTableWidget::itemSelectionChanged, this, [this] {
        const bool chosen = !readings_->selectedItems().isEmpty();
        verified_->setEnabled(chosen);
        ignored_->setEnabled(chosen);
        clearMark_->setEnabled(chosen);
    });
    connect(verified_, &QPushButton::clicked, this, [this] { markChosenDay(Mark::Verified); });
    connect(ignored_, &QPushButton::clicked, this, [this] { markChosenDay(Mark::Ignored); });
    connect(clearMark_, &QPushButton::clicked, this, [this] { markChosenDay(Mark::None); });
    connect(groupsView_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                mapSeries_ = groups_->seriesAt(current.row());
                updateMap();
            });
    connect(mapFigure_, &QComboBox::currentIndexChanged, this, [this] { updateMap(); });
    connect(map_, &GridMap::locationActivated, this, [this](LocationKey location) {
        tabs_->setCurrentIndex(0);
        selectLocation(location);
    });
    connect(tabs_, &QTabWidget::currentChanged, this, [this](int index) {
        if (index == 2 && !surveysLoaded_)
            loadSurveys();
    });
    connect(undoButton_, &QPushButton::clicked, undo_, &QUndoStack::undo);
    connect(redoButton_, &QPushButton::clicked, undo_, &QUndoStack::redo);
    connect(undo_, &QUndoStack::canUndoChanged, undoButton_, &QPushButton::setEnabled);
    connect(undo_, &QUndoStack::canRedoChanged, redoButton_, &QPushButton::setEnabled);
    auto* undoKey = new QShortcut(QKeySequence::Undo, this);
    connect(undoKey, &QShortcut::activated, undo_, &QUndoStack::undo);
    auto* redoKey = new QShortcut(QKeySequence::Redo, this);
    connect(redoKey, &QShortcut::activated, undo_, &QUndoStack::redo);
    auto* close = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(close, &QShortcut::activated, this, &QWidget::close);

    // Room for the table and the trend on a laptop's screen, never more than the screen has.
    QSize size(1240, 700);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        size = size.boundedTo(screen->availableGeometry().size() - QSize(40, 60));
    resize(size.expandedTo(minimumSizeHint()));
}

void HistoryWindow::clear()
{
    settings_ = {};
    measurements_.clear();
    drawn_.reset();
    mapSeries_.reset();
    undo_->clear();
    locations_->setLocations({}, {}, QLocale::system());
    groups_->setGroups(settings_, {}, QLocale::system());
    surveys_->setSurveys({});
    surveysLoaded_ = false;
    fillGroupFilter();
    drawTrend(std::nullopt);
    updateMap();
    updateCaption();
    updateShownCount();
}

bool HistoryWindow::setHistory(HistoryStore* store, const QString& path)
{
    undo_->clear();
    store_ = store;
    path_ = path;
    columnsFitted_ = false;
    if (!store_) {
        clear();
        return true;
    }
    return reload();
}

bool HistoryWindow::reload()
{
    if (!store_)
        return false;
    auto settings = store_->settings();
    if (!settings) {
        fail(settings.error());
        return false;
    }
    auto measurements = store_->measurements();
    if (!measurements) {
        fail(measurements.error());
        return false;
    }
    settings_ = std::move(settings).value();
    measurements_ = std::move(measurements).value();
    surveysLoaded_ = false;
    recomputeAll();
    fillGroupFilter();
    if (tabs_->currentIndex() == 2)
        loadSurveys();
    updateCaption();
    return true;
}

void HistoryWindow::fail(const QString& message)
{
    if (tellError)
        tellError(this, message);
}

void HistoryWindow::recomputeAll()
{
    std::vector<LocationRates> rates = historyRates(settings_, measurements_, rate_, asOf_);
    locations_->setLocations(std::move(rates), settings_.locations, QLocale::system());
    // The sort a user chose stays; the first time it is the worst first.
    locationsView_->sortByColumn(locationsView_->horizontalHeader()->sortIndicatorSection(),
                                 locationsView_->horizontalHeader()->sortIndicatorOrder());
    afterFiguresChanged();
    if (!columnsFitted_)
        fitLocationColumns();
    if (drawn_ && locations_->rowOf(*drawn_) >= 0) {
        selectLocation(*drawn_);
    } else if (filter_->rowCount() > 0) {
        // The worst location's trend, until the user chooses another.
        const QModelIndex first = filter_->index(0, 0);
        selectLocation(locations_->rates()[std::size_t(filter_->mapToSource(first).row())].location);
    } else {
        drawTrend(std::nullopt);
    }
}

void HistoryWindow::recompute(const std::function<bool(LocationKey)>& which)
{
    HistorySettings part{settings_.object, settings_.defaults, settings_.groups, {}};
    for (const LocationSettings& l : settings_.locations)
        if (which(l.key))
            part.locations.push_back(l);
    std::vector<LocationMeasurements> measured;
    for (const LocationMeasurements& m : measurements_)
        if (which(m.location))
            measured.push_back(m);
    // The same rules as for the whole history: only fewer locations.
    std::vector<LocationRates> rates = historyRates(part, measured, rate_, asOf_);
    bool sameLocations = part.locations.size() == rates.size();
    for (std::size_t i = 0; i < rates.size() && sameLocations; ++i)
        sameLocations = locations_->rowOf(rates[i].location) >= 0;
    if (!sameLocations) { // a location appeared: everything anew
        recomputeAll();
        return;
    }
    for (std::size_t i = 0; i < rates.size(); ++i)
        locations_->updateLocation(std::size_t(locations_->rowOf(rates[i].location)), std::move(rates[i]),
                                   part.locations[i]);
    locations_->rowsUpdated();
    afterFiguresChanged();
    drawTrend(drawn_);
}

void HistoryWindow::afterFiguresChanged()
{
    const std::optional<std::int32_t> series = mapSeries_;
    groups_->setGroups(settings_, locations_->rates(), QLocale::system());
    groupsView_->resizeColumnsToContents();
    if (series) {
        const int row = groups_->rowOf(*series);
        if (row >= 0)
            groupsView_->selectionModel()->setCurrentIndex(groups_->index(row, 0), QItemSelectionModel::ClearAndSelect |
                                                                                       QItemSelectionModel::Rows);
    }
    mapSeries_ = series;
    updateMap();
    updateShownCount();
}

void HistoryWindow::fitLocationColumns()
{
    // Every header and figure whole; the description column a little wider, for what is typed.
    locationsView_->resizeColumnsToContents();
    locationsView_->setColumnWidth(LocationsModel::DescriptionColumn,
                                   std::max(locationsView_->columnWidth(LocationsModel::DescriptionColumn),
                                            textWidth(locationsView_, QStringLiteral("MMMMMMMMMMMMMMMM"))));
    columnsFitted_ = locations_->rowCount() > 0;
}

void HistoryWindow::fillGroupFilter()
{
    const QVariant chosen = groupFilter_->currentData();
    const QSignalBlocker blocker(groupFilter_);
    groupFilter_->clear();
    groupFilter_->addItem(Text(texts::AnyGroup));
    for (const GroupSettings& g : settings_.groups)
        groupFilter_->addItem(g.name.isEmpty() ? QString::number(g.series)
                                               : QStringLiteral("%1 — %2").arg(g.series).arg(g.name),
                              g.series);
    const int again = chosen.isValid() ? groupFilter_->findData(chosen) : 0;
    groupFilter_->setCurrentIndex(std::max(0, again));
    if (again < 0)
        filter_->setSeries(std::nullopt);
}

void HistoryWindow::updateCaption()
{
    setWindowTitle(path_.isEmpty() ? Text(texts::NoHistoryCaption)
                                   : Text(texts::WindowCaption).arg(QFileInfo(path_).fileName()));
}

void HistoryWindow::updateShownCount()
{
    shownCount_->setText(Text(texts::ShownCount).arg(filter_->rowCount()).arg(locations_->rowCount()));
}

void HistoryWindow::retranslate()
{
    const int language = languageIndex();
    updateCaption();
    statusLabel_->setText(Text(texts::StatusFilterLabel));
    groupLabel_->setText(Text(texts::GroupFilterLabel));
    asOfLabel_->setText(Text(texts::AsOfLabel));
    rateLabel_->setText(Text(texts::RateLabel));
    undoButton_->setText(Text(texts::UndoButton));
    redoButton_->setText(Text(texts::RedoButton));
    verified_->setText(Text(texts::MarkVerifiedButton));
    ignored_->setText(Text(texts::MarkIgnoredButton));
    clearMark_->setText(Text(texts::ClearMarkButton));
    mapLabel_->setText(Text(texts::MapLabel));
    tabs_->setTabText(0, Text(texts::LocationsTab));
    tabs_->setTabText(1, Text(texts::GroupsTab));
    tabs_->setTabText(2, Text(texts::SurveysTab));
    {
        const QSignalBlocker blocker(statusFilter_);
        const int index = std::max(0, statusFilter_->currentIndex());
        statusFilter_->clear();
        statusFilter_->addItem(Text(texts::AnyStatus));
        const int icon = statusFilter_->fontMetrics().height() * 2 / 3;
        for (Status s : FilterStatuses)
            statusFilter_->addItem(statusIcon(s, icon), history_texts::statusWord(s, languageIndex()));
        statusFilter_->setCurrentIndex(index);
    }
    {
        const QSignalBlocker blocker(rateChoice_);
        const int index = std::max(0, rateChoice_->currentIndex());
        rateChoice_->clear();
        rateChoice_->addItems({Text(texts::RateLarger), Text(texts::RateLongTerm), Text(texts::RateShortTerm)});
        rateChoice_->setCurrentIndex(index);
    }
    {
        const QSignalBlocker blocker(mapFigure_);
        const int index = std::max(0, mapFigure_->currentIndex());
        mapFigure_->clear();
        mapFigure_->addItems({Text(texts::MapLastThickness), Text(texts::MapLoss), Text(texts::MapRate)});
        mapFigure_->setCurrentIndex(index);
    }
    if (groupFilter_->count() > 0)
        groupFilter_->setItemText(0, Text(texts::AnyGroup));
    readings_->setHorizontalHeaderLabels({Text(texts::ReadingDateColumn), Text(texts::ReadingThicknessColumn),
                                          Text(texts::ReadingCountsColumn), Text(texts::ReadingMarkColumn)});
    locations_->setLanguage(language);
    groups_->setLanguage(language);
    surveys_->setLanguage(language);
    {
        const QSignalBlocker blocker(asOfEdit_);
        asOfEdit_->setDate(asOf_);
    }
    updateShownCount();
    // What is drawn with words: the columns' widths, the trend, the readings and the map.
    if (locations_->rowCount() > 0)
        fitLocationColumns();
    groupsView_->resizeColumnsToContents();
    surveysView_->resizeColumnsToContents();
    drawTrend(drawn_);
    updateMap();
}

void HistoryWindow::setAsOf(QDate asOf)
{
    if (!asOf.isValid() || asOf == asOf_)
        return;
    asOf_ = asOf;
    {
        const QSignalBlocker blocker(asOfEdit_);
        asOfEdit_->setDate(asOf);
    }
    recomputeAll();
}

void HistoryWindow::setRateChoice(RateChoice rate)
{
    if (rate == rate_)
        return;
    rate_ = rate;
    {
        const QSignalBlocker blocker(rateChoice_);
        rateChoice_->setCurrentIndex(rate == RateChoice::LongTerm ? 1 : rate == RateChoice::ShortTerm ? 2 : 0);
    }
    recomputeAll();
}

void HistoryWindow::selectLocation(LocationKey location)
{
    const int row = locations_->rowOf(location);
    if (row < 0)
        return;
    QModelIndex shown = filter_->mapFromSource(locations_->index(row, 0));
    if (!shown.isValid()) { // hidden by a filter: show everything
        statusFilter_->setCurrentIndex(0);
        groupFilter_->setCurrentIndex(0);
        shown = filter_->mapFromSource(locations_->index(row, 0));
    }
    locationsView_->selectionModel()->setCurrentIndex(shown, QItemSelectionModel::ClearAndSelect |
                                                                 QItemSelectionModel::Rows);
    locationsView_->scrollTo(shown);
    drawTrend(location);
}

void HistoryWindow::drawTrend(std::optional<LocationKey> location)
{
    drawn_ = location;
    std::optional<LocationTrend> trend;
    if (location)
        trend = trendOf(*location, locations_->rates(), measurements_, settings_);
    std::unique_ptr<QChart> chart;
    if (trend) {
        TrendOptions options;
        options.languageIndex = languageIndex();
        chart = makeTrendChart(*trend, options);
        for (QAbstractSeries* series : chart->series())
            if (auto* dots = qobject_cast<QScatterSeries*>(series))
                connect(dots, &QScatterSeries::clicked, this, [this](const QPointF& point) { chooseReadingNear(point.x()); });
    } else {
        drawn_.reset();
        chart = std::make_unique<QChart>();
        chart->setTitle(Text(texts::ChooseLocation));
    }
    QChart* old = trendView_->chart();
    trendView_->setChart(chart.release()); // the view owns it now
    delete old;
    if (trend)
        fillReadings(*trend);
    else
        fillReadings(LocationTrend{});
}

void HistoryWindow::fillReadings(const LocationTrend& trend)
{
    const QDate chosen = readings_->currentRow() >= 0 && std::size_t(readings_->currentRow()) < readingDays_.size()
                             ? readingDays_[std::size_t(readings_->currentRow())]
                             : QDate();
    const std::vector<TrendPoint> points = trend.measurements.empty() ? std::vector<TrendPoint>() : trendPoints(trend);
    const QSignalBlocker blocker(readings_);
    readings_->clearContents();
    readings_->setRowCount(int(points.size()));
    readingDays_.clear();
    const QLocale locale = QLocale::system();
    int again = -1;
    for (std::size_t i = 0; i < points.size(); ++i) {
        const TrendPoint& p = points[i];
        const int row = int(i);
        readingDays_.push_back(p.date);
        const QString mark = p.mark == Mark::Verified ? Text(texts::VerifiedWord)
                             : p.mark == Mark::Ignored ? Text(texts::IgnoredWord)
                                                       : QString();
        const QStringList cells{isoDate(p.date), thicknessText(p.thickness, locale),
                                Text(p.counted ? texts::Counted : texts::LeftOut), mark};
        for (int column = 0; column < cells.size(); ++column) {
            auto* item = new QTableWidgetItem(cells[column]);
            if (column == 1)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            readings_->setItem(row, column, item);
        }
        if (p.date == chosen && again < 0)
            again = row;
    }
    readings_->resizeColumnsToContents();
    if (again >= 0)
        readings_->selectRow(again);
    else
        readings_->clearSelection();
    const bool selected = again >= 0;
    verified_->setEnabled(selected);
    ignored_->setEnabled(selected);
    clearMark_->setEnabled(selected);
}

void HistoryWindow::chooseReadingNear(qreal msecs)
{
    // The reading whose day lies nearest the point clicked.
    int best = -1;
    qint64 bestDistance = 0;
    for (std::size_t i = 0; i < readingDays_.size(); ++i) {
        const qint64 distance = std::abs(readingDays_[i].startOfDay().toMSecsSinceEpoch() - qint64(msecs));
        if (best < 0 || distance < bestDistance) {
            best = int(i);
            bestDistance = distance;
        }
    }
    if (best >= 0)
        readings_->selectRow(best);
}

bool HistoryWindow::markChosenDay(Mark mark)
{
    const int row = readings_->currentRow();
    if (!drawn_ || readings_->selectedItems().isEmpty() || row < 0 || std::size_t(row) >= readingDays_.size())
        return false;
    const LocationKey location = *drawn_;
    const QDate day = readingDays_[std::size_t(row)];
    Mark before = Mark::None;
    const auto m = std::find_if(measurements_.begin(), measurements_.end(),
                                [&](const LocationMeasurements& l) { return l.location == location; });
    if (m != measurements_.end())
        for (const Measurement& reading : m->measurements)
            if (reading.date == day) {
                before = reading.mark;
                break;
            }
    if (before == mark)
        return true;
    const QString step = Text(texts::MarkStep).arg(locationText(location), isoDate(day));
    return pushEdit<Mark>(step, [this, location, day](const Mark& value) { return writeMark(location, day, value); },
                          before, mark);
}

template <typename T>
bool HistoryWindow::pushEdit(const QString& step, std::function<bool(const T&)> write, T before, T after)
{
    if (!write(after))
        return false;
    undo_->push(new StoreEdit(step, [write, before] { write(before); }, [write, after] { write(after); }));
    return true;
}

bool HistoryWindow::rereadSettings()
{
    auto settings = store_->settings();
    if (!settings) {
        fail(settings.error());
        return false;
    }
    settings_ = std::move(settings).value();
    return true;
}

bool HistoryWindow::writeLocation(const LocationSettings& location)
{
    if (!store_)
        return false;
    const auto written = store_->updateLocation(location.key, [&](LocationSettings& l) { l = location; });
    if (!written) {
        fail(written.error());
        return false;
    }
    if (!rereadSettings())
        return false;
    const LocationKey key = location.key;
    recompute([key](LocationKey l) { return l == key; });
    return true;
}

bool HistoryWindow::writeGroup(const GroupSettings& group)
{
    if (!store_)
        return false;
    const auto written = store_->updateGroup(group.series, [&](GroupSettings& g) { g = group; });
    if (!written) {
        fail(written.error());
        return false;
    }
    if (!rereadSettings())
        return false;
    const std::int32_t series = group.series;
    recompute([series](LocationKey l) { return l.series == series; });
    fillGroupFilter();
    return true;
}

bool HistoryWindow::writeDefaults(const GroupValues& values)
{
    if (!store_)
        return false;
    const auto written = store_->updateDefaults([&](GroupValues& v) { v = values; });
    if (!written) {
        fail(written.error());
        return false;
    }
    if (!rereadSettings())
        return false;
    recomputeAll();
    return true;
}

bool HistoryWindow::writeSurvey(std::int64_t survey, const SurveyDetails& details)
{
    if (!store_)
        return false;
    const auto written = store_->updateSurvey(survey, [&](SurveyDetails& d) { d = details; });
    if (!written) {
        fail(written.error());
        return false;
    }
    std::vector<Survey> surveys = surveys_->surveys();
    for (Survey& s : surveys)
        if (s.number == survey)
            s.details = *written;
    surveys_->setSurveys(std::move(surveys));
    return true;
}

bool HistoryWindow::writeMark(LocationKey location, QDate day, Mark mark)
{
    if (!store_)
        return false;
    const auto marked = store_->mark(location, day, mark);
    if (!marked) {
        fail(marked.error());
        return false;
    }
    // The history marks every reading of the day; so does the copy the figures come from.
    for (LocationMeasurements& l : measurements_)
        if (l.location == location)
            for (Measurement& m : l.measurements)
                if (m.date == day)
                    m.mark = mark;
    recompute([location](LocationKey l) { return l == location; });
    return true;
}

bool HistoryWindow::editLocation(int row, int column, const QString& text)
{
    const LocationSettings before = locations_->settingsAt(row);
    LocationSettings after = before;
    switch (column) {
    case LocationsModel::DescriptionColumn:
        after.description = text.trimmed();
        break;
    case LocationsModel::OwnRequiredColumn:
        if (!thicknessInput(text, after.required)) {
            fail(Text(texts::BadThicknessInput).arg(text));
            return false;
        }
        break;
    case LocationsModel::RenewedColumn:
        if (text.trimmed().isEmpty()) {
            after.renewed.reset();
        } else if (const auto date = dateFromIso(text.trimmed())) {
            after.renewed = date;
        } else {
            fail(Text(texts::BadDateInput).arg(text));
            return false;
        }
        break;
    default:
        return false;
    }
    if (after == before)
        return true;
    const QString step = Text(texts::EditLocationStep).arg(locationText(before.key));
    return pushEdit<LocationSettings>(step, [this](const LocationSettings& l) { return writeLocation(l); }, before, after);
}

bool HistoryWindow::editGroup(int row, int column, const QString& text)
{
    const std::optional<std::int32_t> series = groups_->seriesAt(row);
    GroupValues values = series ? settings_.group(*series)->values : settings_.defaults;
    QString name = series ? settings_.group(*series)->name : QString();
    switch (column) {
    case GroupsModel::NameColumn:
        name = text.trimmed();
        break;
    case GroupsModel::NominalColumn:
    case GroupsModel::RequiredColumn:
        if (!thicknessInput(text, column == GroupsModel::NominalColumn ? values.nominal : values.required)) {
            fail(Text(texts::BadThicknessInput).arg(text));
            return false;
        }
        break;
    case GroupsModel::GridColumnsColumn:
    case GroupsModel::FirstNumberColumn: {
        const bool grid = column == GroupsModel::GridColumnsColumn;
        const std::int64_t low = grid ? 1 : 0;
        const std::int64_t high = grid ? MaxGridColumns : INT32_MAX;
        std::optional<std::int32_t> value;
        if (!wholeInput(text, low, high, value)) {
            fail(Text(texts::BadNumberInput).arg(low).arg(high).arg(text));
            return false;
        }
        (grid ? values.gridColumns : values.firstNumber) = value;
        break;
    }
    default:
        return false;
    }
    if (!series) {
        if (values == settings_.defaults)
            return true;
        return pushEdit<GroupValues>(Text(texts::EditDefaultsStep),
                                     [this](const GroupValues& v) { return writeDefaults(v); }, settings_.defaults, values);
    }
    const GroupSettings before = *settings_.group(*series);
    const GroupSettings after{before.series, name, values};
    if (after == before)
        return true;
    return pushEdit<GroupSettings>(Text(texts::EditGroupStep).arg(before.series),
                                   [this](const GroupSettings& g) { return writeGroup(g); }, before, after);
}

bool HistoryWindow::editSurvey(int row, int column, const QString& text)
{
    const Survey& survey = surveys_->surveys()[std::size_t(row)];
    const SurveyDetails before = survey.details;
    SurveyDetails after = before;
    QString* field = column == SurveysModel::LabelColumn      ? &after.label
                     : column == SurveysModel::OperatorColumn ? &after.operatorName
                     : column == SurveysModel::GaugeColumn    ? &after.gauge
                     : column == SurveysModel::ProbeColumn    ? &after.probe
                     : column == SurveysModel::SourceColumn   ? &after.source
                                                              : nullptr;
    if (!field)
        return false;
    *field = text.trimmed();
    const std::int64_t number = survey.number;
    // Compared field by field: the details have no comparison of their own.
    if (std::tie(after.label, after.operatorName, after.gauge, after.probe, after.source) ==
        std::tie(before.label, before.operatorName, before.gauge, before.probe, before.source))
        return true;
    return pushEdit<SurveyDetails>(Text(texts::EditSurveyStep).arg(number),
                                   [this, number](const SurveyDetails& d) { return writeSurvey(number, d); }, before,
                                   after);
}

void HistoryWindow::showGroup(std::int32_t series)
{
    tabs_->setCurrentIndex(1);
    const int row = groups_->rowOf(series);
    if (row >= 0)
        groupsView_->selectionModel()->setCurrentIndex(groups_->index(row, 0),
                                                        QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void HistoryWindow::updateMap()
{
    const GroupSettings* group = mapSeries_ ? settings_.group(*mapSeries_) : nullptr;
    const GroupValues values = group ? settings_.effectiveValues(group->series) : GroupValues{};
    if (!group || !values.gridColumns) {
        map_->setCells({});
        mapNote_->setText(group ? Text(texts::MapNoGrid).arg(group->series) : QString());
        return;
    }
    const auto figure = MapFigure(std::clamp(mapFigure_->currentIndex(), 0, 2));
    std::vector<MapCell> cells = mapCells(locations_->rates(), group->series, *values.gridColumns,
                                          values.firstNumber.value_or(1), figure);
    // The scale: the lowest and highest value shown, in the cells' own words.
    const MapCell* low = nullptr;
    const MapCell* high = nullptr;
    for (const MapCell& c : cells) {
        if (!c.value)
            continue;
        if (!low || *c.value < *low->value)
            low = &c;
        if (!high || *c.value > *high->value)
            high = &c;
    }
    // Which end is red: the thin one for thickness, the fast one for loss and rate.
    const QString unit = Text(figure == MapFigure::Rate ? texts::RateUnit : texts::MillimetreUnit);
    const TextPair& scale = figure == MapFigure::LastThickness ? texts::MapScaleThinRed : texts::MapScaleHighRed;
    mapNote_->setText(low ? Text(scale).arg(low->text, high->text, unit) : QString());
    map_->setCells(std::move(cells));
}

void HistoryWindow::loadSurveys()
{
    if (!store_) {
        surveys_->setSurveys({});
        return;
    }
    auto surveys = store_->surveys();
    if (!surveys) {
        fail(surveys.error());
        return;
    }
    surveys_->setSurveys(std::move(surveys).value());
    surveysLoaded_ = true;
    surveysView_->resizeColumnsToContents();
}

void HistoryWindow::showSurveys()
{
    tabs_->setCurrentIndex(2);
    if (!surveysLoaded_)
        loadSurveys();
}

} // namespace quilex
