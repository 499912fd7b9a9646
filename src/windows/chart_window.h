#pragma once
// "График" / "Chart": the archive's readings against their record numbers, one colour per
// series, the limits as lines; or the histogram of the thicknesses, the series stacked or side
// by side. A pointer over a reading tells its record number, series, thickness and date; the
// mouse wheel and a dragged rectangle zoom in, a button shows the whole chart again. It follows
// the archive table while it is open and saves the picture as PNG or SVG at the size asked.

#include "table/table_values.h"
#include "table/thickness_limits.h"

#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class QCheckBox;
class QLabel;
class QPushButton;
class QSpinBox;
QT_BEGIN_NAMESPACE
class QChart;
class QChartView;
QT_END_NAMESPACE

namespace quilex {

class ReadingsChart;

class ChartWindow final : public QWidget {
    Q_OBJECT
public:
    ChartWindow(const TableValues& table, QWidget* parent = nullptr);

    void refresh(const TableLimits& limits);
    void retranslate();
    void setHistogram(bool histogram);
    bool histogram() const { return histogram_; }
    // The histogram's series stacked, or side by side.
    void setStacked(bool stacked);
    bool stacked() const;

    QChartView* view() const { return view_; }
    // The chart shown.
    ReadingsChart* chart() const;
    QPushButton* histogramButton() const { return histogramButton_; }
    QCheckBox* stackedBox() const { return stacked_; }
    QPushButton* wholeChartButton() const { return whole_; }
    QSpinBox* pictureWidthBox() const { return pictureWidth_; }
    QSpinBox* pictureHeightBox() const { return pictureHeight_; }
    QPushButton* saveButton() const { return save_; }

    // The size of a saved picture in pixels: the view's on the screen (its device pixels) until
    // the user types another.
    QSize pictureSize() const;
    // Saves the chart as SVG (".svg") or PNG at pictureSize(), showing what the view shows;
    // false when it could not be written (told).
    bool saveChartFile(const QString& path);
    // The save dialog; replaceable for tests.
    std::function<QString(QWidget* parent)> saveDialog;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The chart of the table with the limits in force, as many points kept as `pixelsAcross`.
    std::unique_ptr<ReadingsChart> makeChart(int pixelsAcross) const;
    // Draws the chart again; keepZoom keeps the range shown (a change of language or of the
    // bars), else the whole chart is shown.
    void rebuild(bool keepZoom);
    void followViewSize();
    void fitScreen();

    const TableValues& table_;
    TableLimits limits_;
    bool histogram_ = false;
    bool pictureSizeTyped_ = false;
    QChartView* view_;
    QPushButton* histogramButton_;
    QCheckBox* stacked_;
    QPushButton* whole_;
    QLabel* pictureLabel_;
    QSpinBox* pictureWidth_;
    QLabel* times_;
    QSpinBox* pictureHeight_;
    QPushButton* save_;
};

} // namespace quilex
