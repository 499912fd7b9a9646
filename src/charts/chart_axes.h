#pragma once
// Axes that read like a ruler: ticks at round values, steps of 1, 2 or 5 times a power of ten,
// as many as the axis has room for, written with the locale's decimal separator. Qt's own
// fixed ticks split a range into equal parts (0.9, 5.4, 9.9), which nobody reads off a chart.

#include <QLocale>
#include <QObject>

QT_BEGIN_NAMESPACE
class QChart;
class QValueAxis;
QT_END_NAMESPACE

namespace quilex {

struct RoundTicks {
    double first = 0; // the lowest tick inside the range
    double step = 1;
    int decimals = 0; // what the step needs, no more
};

// The round step (1, 2 or 5 x 10^k, never below finest) that puts at most `most` ticks on
// [low, high], and the first tick at or above low.
RoundTicks roundTicks(double low, double high, int most, double finest);

// The range widened outward to whole steps of its round ticks, for an axis that starts and
// ends on a labelled tick.
struct AxisRange {
    double low;
    double high;
};
AxisRange roundRange(double low, double high, int most, double finest);

// Keeps an axis's ticks on round values for its present range, at most one per `spacing`
// pixels of its length, labelled in the chart's locale; again whenever its range or the chart's
// plot area changes (a zoom, a resize). Owned by the axis.
class RoundAxis final : public QObject {
public:
    RoundAxis(QChart& chart, QValueAxis& axis, Qt::Orientation orientation, int spacing, double finest);
    // Shows [low, high]. Qt lays the labels out for the new range with the old step before
    // anyone hears of it: from a zoom of 50 records to 100,000 that would be 100,000 labels for
    // a moment. So the step is changed first where that makes fewer.
    void setRange(double low, double high);

private:
    RoundTicks ticksFor(double low, double high) const;
    void lay(const RoundTicks& ticks);

    QChart& chart_;
    QValueAxis& axis_;
    Qt::Orientation orientation_;
    int spacing_;
    double finest_;
};

// The chart's numbers in this locale without group separators (a record number 12 345 would
// read as two).
void localizeChart(QChart& chart, QLocale locale);

} // namespace quilex
