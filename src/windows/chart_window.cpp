#include "windows/chart_window.h"

#include "table/main_window_texts.h"
#include "base/texts.h"
#include "charts/readings_chart.h"

#include <QBoxLayout>
#include <QChart>
#include <QChartView>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QShortcut>

namespace quilex {

namespace {

const TextPair Caption{u"График", u"Chart"};
const TextPair HistogramButton{u"Гистограмма", u"Histogram"};
const TextPair SaveButton{u"Сохранить рисунок", u"Save picture"};
const TextPair NotSaved{u"Не удалось записать файл %1: %2", u"Cannot write the file %1: %2"};

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

} // namespace

ChartWindow::ChartWindow(const TableValues& table, QWidget* parent)
    : QWidget(parent, Qt::Window), saveDialog(defaultSaveDialog), table_(table), view_(new QChartView(this)),
      histogram_(new QPushButton(this)), save_(new QPushButton(this))
{
    view_->setRenderHint(QPainter::Antialiasing);
    histogram_->setCheckable(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(histogram_);
    buttons->addWidget(save_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(view_, 1);
    layout->addLayout(buttons);
    connect(histogram_, &QPushButton::toggled, this, [this] { refresh(limits_); });
    connect(save_, &QPushButton::clicked, this, [this] {
        const QString path = saveDialog ? saveDialog(this) : QString();
        if (!path.isEmpty())
            saveChartFile(path);
    });
    auto* close = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(close, &QShortcut::activated, this, &QWidget::close);
    resize(900, 560);
    retranslate();
}

void ChartWindow::retranslate()
{
    setWindowTitle(Text(Caption));
    histogram_->setText(Text(HistogramButton));
    save_->setText(Text(SaveButton));
    if (isVisible())
        refresh(limits_);
}

void ChartWindow::setHistogram(bool histogram)
{
    histogram_->setChecked(histogram);
}

bool ChartWindow::histogram() const
{
    return histogram_->isChecked();
}

std::unique_ptr<QChart> ChartWindow::makeChart(std::optional<int> pointsAcross) const
{
    ChartOptions options;
    options.histogram = histogram();
    options.languageIndex = languageIndex();
    if (pointsAcross)
        options.pointsAcross = *pointsAcross;
    return makeReadingsChart(table_.dataRows(), limits_, options);
}

void ChartWindow::refresh(const TableLimits& limits)
{
    limits_ = limits;
    // As many points as the view has pixels across; a saved picture keeps the chart's default.
    std::unique_ptr<QChart> chart = makeChart(std::max(200, 2 * view_->width()));
    QChart* old = view_->chart();
    view_->setChart(chart.release()); // the view owns it now
    delete old;
}

bool ChartWindow::saveChartFile(const QString& path)
{
    std::unique_ptr<QChart> chart = makeChart(std::nullopt);
    const QSize size = view_->size().isEmpty() ? QSize(900, 500) : view_->size();
    if (const auto failed = saveChart(*chart, path, size)) {
        QMessageBox box(QMessageBox::Critical, Text(MainText::ErrorCaption), Text(NotSaved).arg(path, *failed), QMessageBox::Ok);
        box.exec();
        return false;
    }
    return true;
}

} // namespace quilex
