#include "windows/chart_window.h"

#include "table/main_window_texts.h"
#include "base/texts.h"
#include "charts/readings_chart.h"

#include <QBoxLayout>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QFileDialog>
#include <QHelpEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QToolTip>
#include <QWheelEvent>

#include <cmath>

namespace quilex {

namespace {

const TextPair Caption{u"График", u"Chart"};
// The button names the view it switches to.
const TextPair ToHistogram{u"Гистограмма", u"Histogram"};
const TextPair ToReadings{u"График", u"Chart"};
const TextPair StackedBox{u"Серии друг на друге", u"Series stacked"};
const TextPair WholeChart{u"Сбросить масштаб", u"Reset zoom"};
const TextPair PictureSize{u"Рисунок, пикс.:", u"Picture, px:"};
const TextPair SaveButton{u"Сохранить рисунок", u"Save picture"};
const TextPair NotSaved{u"Не удалось записать файл %1: %2", u"Cannot write the file %1: %2"};
const TextPair ViewHint{u"Колесо мыши или выделение рамкой увеличивают, правая кнопка уменьшает",
                        u"The mouse wheel or a dragged frame zooms in, the right button zooms out"};

constexpr int SmallestPicture = 100;
constexpr int LargestPicture = 10000;
// One notch of the wheel shows a fifth less (or more) of each range.
constexpr double WheelZoom = 1.25;

QString defaultSaveDialog(QWidget* parent)
{
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters({QStringLiteral("PNG (*.png)"), QStringLiteral("SVG (*.svg)")});
    dialog.setDefaultSuffix(QStringLiteral("png"));
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& filter) {
        dialog.setDefaultSuffix(filter.startsWith(QLatin1String("SVG")) ? QStringLiteral("svg") : QStringLiteral("png"));
    });
    dialog.selectFile(Text(Caption) + QStringLiteral(".png"));
    return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty() ? dialog.selectedFiles().front()
                                                                                 : QString();
}

// The chart's view: the wheel zooms about the pointer, a dragged rectangle zooms into it (the
// right button back out), and a pointer that rests on a reading or a bar gets its tooltip.
class ChartView final : public QChartView {
public:
    explicit ChartView(QWidget* parent) : QChartView(parent)
    {
        setRubberBand(QChartView::RectangleRubberBand);
        setRenderHint(QPainter::Antialiasing);
        setMinimumSize(240, 150);
    }

    ReadingsChart* readings() const { return qobject_cast<ReadingsChart*>(chart()); }

protected:
    void wheelEvent(QWheelEvent* event) override
    {
        ReadingsChart* shown = readings();
        const double notches = event->angleDelta().y() / 120.0;
        if (!shown || shown->empty() || notches == 0) {
            QChartView::wheelEvent(event);
            return;
        }
        const QPointF at = shown->mapFromScene(mapToScene(event->position().toPoint()));
        if (!shown->plotArea().contains(at)) {
            event->ignore();
            return;
        }
        // The value under the pointer stays where it is.
        const QPointF value = shown->mapToValue(at);
        const QRectF range = shown->shownRange();
        const double factor = std::pow(WheelZoom, notches);
        shown->showRange(QRectF(QPointF(value.x() - (value.x() - range.left()) / factor,
                                        value.y() - (value.y() - range.top()) / factor),
                                QPointF(value.x() + (range.right() - value.x()) / factor,
                                        value.y() + (range.bottom() - value.y()) / factor)));
        event->accept();
    }

    bool viewportEvent(QEvent* event) override
    {
        if (event->type() == QEvent::ToolTip) {
            auto* help = static_cast<QHelpEvent*>(event);
            ReadingsChart* shown = readings();
            const QString tip = shown ? shown->tipAt(shown->mapFromScene(mapToScene(help->pos()))) : QString();
            if (tip.isEmpty()) {
                QToolTip::hideText();
                event->ignore();
            } else {
                // Gone as soon as the pointer leaves the reading.
                QToolTip::showText(help->globalPos(), tip, viewport(), QRect(help->pos() - QPoint(4, 4), QSize(9, 9)));
            }
            return true;
        }
        return QChartView::viewportEvent(event);
    }
};

} // namespace

ChartWindow::ChartWindow(const TableValues& table, QWidget* parent)
    : QWidget(parent, Qt::Window), saveDialog(defaultSaveDialog), table_(table), view_(new ChartView(this)),
      histogramButton_(new QPushButton(this)), stacked_(new QCheckBox(this)), whole_(new QPushButton(this)),
      pictureLabel_(new QLabel(this)), pictureWidth_(new QSpinBox(this)), times_(new QLabel(QStringLiteral("×"), this)),
      pictureHeight_(new QSpinBox(this)), save_(new QPushButton(this))
{
    stacked_->setChecked(true);
    stacked_->setVisible(false);
    whole_->setEnabled(false);
    for (QSpinBox* box : {pictureWidth_, pictureHeight_}) {
        box->setRange(SmallestPicture, LargestPicture);
        box->setAccelerated(true);
        // A size typed by the user stays; until then it is the view's.
        connect(box, &QSpinBox::valueChanged, this, [this] { pictureSizeTyped_ = true; });
    }
    pictureLabel_->setBuddy(pictureWidth_);

    // Two rows, so that the window fits a small screen at twice the scale: what is shown, then
    // the picture to save.
    auto* viewRow = new QHBoxLayout;
    viewRow->addWidget(histogramButton_);
    viewRow->addWidget(stacked_);
    viewRow->addStretch(1);
    viewRow->addWidget(whole_);
    auto* saveRow = new QHBoxLayout;
    saveRow->addStretch(1);
    saveRow->addWidget(pictureLabel_);
    saveRow->addWidget(pictureWidth_);
    saveRow->addWidget(times_);
    saveRow->addWidget(pictureHeight_);
    saveRow->addWidget(save_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(view_, 1);
    layout->addLayout(viewRow);
    layout->addLayout(saveRow);

    connect(histogramButton_, &QPushButton::clicked, this, [this] { setHistogram(!histogram_); });
    connect(stacked_, &QCheckBox::toggled, this, [this] { rebuild(true); });
    connect(whole_, &QPushButton::clicked, this, [this] {
        if (ReadingsChart* shown = chart())
            shown->showAll();
    });
    connect(save_, &QPushButton::clicked, this, [this] {
        const QString path = saveDialog ? saveDialog(this) : QString();
        if (!path.isEmpty())
            saveChartFile(path);
    });
    auto* close = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(close, &QShortcut::activated, this, &QWidget::close);
    view_->installEventFilter(this);
    retranslate();
    fitScreen();
}

void ChartWindow::fitScreen()
{
    // As large as drawn, or as the screen has room for with a window manager's frame and
    // caption around it; at twice the scale a 1366 x 768 screen is 683 x 384.
    const QRect room = screen()->availableGeometry();
    const QSize frame(16, 48);
    const QSize wanted = QSize(900, 560).boundedTo(room.size() - frame).expandedTo(minimumSizeHint());
    resize(wanted);
    followViewSize();
}

void ChartWindow::retranslate()
{
    setWindowTitle(Text(Caption));
    histogramButton_->setText(Text(histogram_ ? ToReadings : ToHistogram));
    stacked_->setText(Text(StackedBox));
    whole_->setText(Text(WholeChart));
    pictureLabel_->setText(Text(PictureSize));
    save_->setText(Text(SaveButton));
    whole_->setToolTip(Text(ViewHint));
    if (isVisible())
        rebuild(true);
}

void ChartWindow::setHistogram(bool histogram)
{
    if (histogram == histogram_)
        return;
    histogram_ = histogram;
    histogramButton_->setText(Text(histogram_ ? ToReadings : ToHistogram));
    stacked_->setVisible(histogram_);
    rebuild(false);
}

void ChartWindow::setStacked(bool stacked)
{
    stacked_->setChecked(stacked);
}

bool ChartWindow::stacked() const
{
    return stacked_->isChecked();
}

ReadingsChart* ChartWindow::chart() const
{
    return qobject_cast<ReadingsChart*>(view_->chart());
}

std::unique_ptr<ReadingsChart> ChartWindow::makeChart(int pixelsAcross) const
{
    ChartOptions options;
    options.histogram = histogram_;
    options.stacked = stacked();
    options.languageIndex = languageIndex();
    options.pointsAcross = std::max(200, 2 * pixelsAcross);
    return makeReadingsChart(table_.dataRows(), limits_, options);
}

void ChartWindow::refresh(const TableLimits& limits)
{
    limits_ = limits;
    rebuild(false);
}

void ChartWindow::rebuild(bool keepZoom)
{
    // As many points as the view has pixels across.
    std::unique_ptr<ReadingsChart> made = makeChart(view_->width());
    ReadingsChart* old = chart();
    if (keepZoom && old && old->zoomed() && old->options().histogram == made->options().histogram)
        made->showRange(old->shownRange());
    whole_->setEnabled(made->zoomed());
    connect(made.get(), &ReadingsChart::zoomChanged, whole_, &QWidget::setEnabled);
    QChart* previous = view_->chart();
    view_->setChart(made.release()); // the view owns it now
    delete previous;
}

QSize ChartWindow::pictureSize() const
{
    return QSize(pictureWidth_->value(), pictureHeight_->value());
}

void ChartWindow::followViewSize()
{
    if (pictureSizeTyped_)
        return;
    const QSize pixels = view_->size() * devicePixelRatioF();
    const QSignalBlocker blockWidth(pictureWidth_);
    const QSignalBlocker blockHeight(pictureHeight_);
    pictureWidth_->setValue(pixels.width());
    pictureHeight_->setValue(pixels.height());
}

bool ChartWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == view_ && event->type() == QEvent::Resize)
        followViewSize();
    return QWidget::eventFilter(watched, event);
}

bool ChartWindow::saveChartFile(const QString& path)
{
    // The picture shows what the view shows, drawn as large as the screen draws it.
    const QSize pixels = pictureSize();
    const double scale = devicePixelRatioF();
    std::unique_ptr<ReadingsChart> saved = makeChart(int(pixels.width() / scale));
    if (ReadingsChart* shown = chart(); shown && shown->zoomed())
        saved->showRange(shown->shownRange());
    if (const auto written = saveChart(*saved, path, pixels, scale); !written) {
        QMessageBox box(QMessageBox::Critical, Text(MainText::ErrorCaption), Text(NotSaved).arg(path, written.error()),
                        QMessageBox::Ok);
        box.exec();
        return false;
    }
    return true;
}

} // namespace quilex
