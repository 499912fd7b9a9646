#pragma once
// "График" / "Chart": the archive's readings against their record numbers, one colour per
// series, the minimum and nominal as lines; or the histogram of the thicknesses. It follows the
// archive table while it is open and saves the picture as PNG or SVG.

#include "table/table_values.h"
#include "table/thickness_limits.h"

#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class QPushButton;
QT_BEGIN_NAMESPACE
class QChart;
class QChartView;
QT_END_NAMESPACE

namespace quilex {

class ChartWindow final : public QWidget {
    Q_OBJECT
public:
    ChartWindow(const TableValues& table, QWidget* parent = nullptr);

    void refresh(const TableLimits& limits);
    void retranslate();
    void setHistogram(bool histogram);
    bool histogram() const;

    QChartView* view() const { return view_; }
    QPushButton* histogramButton() const { return histogram_; }
    QPushButton* saveButton() const { return save_; }
    // Saves the chart as SVG (".svg") or PNG; false when it could not be written (told).
    bool saveChartFile(const QString& path);
    // The save dialog; replaceable for tests.
    std::function<QString(QWidget* parent)> saveDialog;

private:
    // The chart of the table with the limits in force; pointsAcross as the chart's options have
    // it when none is given.
    std::unique_ptr<QChart> makeChart(std::optional<int> pointsAcross) const;

    const TableValues& table_;
    TableLimits limits_;
    QChartView* view_;
    QPushButton* histogram_;
    QPushButton* save_;
};

} // namespace quilex
