#include "charts/chart_axes.h"

#include <QChart>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace quilex {

namespace {

// The smallest of 1, 2, 5 x 10^k that is at least `raw`, and not below `finest`.
double roundStep(double raw, double finest)
{
    if (!(raw > finest))
        return finest;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    const double mantissa = raw / power;
    // A hair of slack: 0.2 / 0.1 is 2.0000000000000004, and 2 is what is meant.
    const double round = mantissa <= 1 + 1e-9 ? 1 : mantissa <= 2 + 1e-9 ? 2 : mantissa <= 5 + 1e-9 ? 5 : 10;
    return std::max(finest, round * power);
}

int decimalsOf(double step)
{
    return std::max(0, int(-std::floor(std::log10(step) + 1e-9)));
}

} // namespace

RoundTicks roundTicks(double low, double high, int most, double finest)
{
    most = std::max(2, most);
    const double span = std::max(high - low, 0.0);
    // `most` ticks with both ends on one take most - 1 steps.
    const double step = roundStep(span / double(most - 1), finest);
    RoundTicks ticks;
    ticks.step = step;
    ticks.first = std::ceil(low / step - 1e-9) * step;
    ticks.decimals = decimalsOf(step);
    return ticks;
}

AxisRange roundRange(double low, double high, int most, double finest)
{
    // A range widened by a step may want a larger step; twice round settles it.
    AxisRange range{low, high};
    for (int pass = 0; pass < 2; ++pass) {
        const double step = roundTicks(low, high, most, finest).step;
        range = {std::floor(low / step + 1e-9) * step, std::ceil(high / step - 1e-9) * step};
        if (range.high <= range.low)
            range.high = range.low + step;
        const RoundTicks again = roundTicks(range.low, range.high, most, finest);
        if (again.step == step)
            break;
    }
    return range;
}

RoundAxis::RoundAxis(QChart& chart, QValueAxis& axis, Qt::Orientation orientation, int spacing, double finest)
    : QObject(&axis), chart_(chart), axis_(axis), orientation_(orientation), spacing_(spacing), finest_(finest)
{
    axis.setTickType(QValueAxis::TicksDynamic);
    axis.setMinorTickCount(0);
    axis.setTruncateLabels(false);
    const auto follow = [this] { lay(ticksFor(axis_.min(), axis_.max())); };
    follow();
    connect(&axis, &QValueAxis::rangeChanged, this, follow);
    connect(&chart, &QChart::plotAreaChanged, this, follow);
}

RoundTicks RoundAxis::ticksFor(double low, double high) const
{
    const QRectF area = chart_.plotArea();
    double length = orientation_ == Qt::Horizontal ? area.width() : area.height();
    if (length <= 0) // not laid out yet
        length = orientation_ == Qt::Horizontal ? 600 : 350;
    return roundTicks(low, high, std::max(2, int(length / spacing_) + 1), finest_);
}

void RoundAxis::lay(const RoundTicks& ticks)
{
    axis_.setTickAnchor(ticks.first);
    axis_.setTickInterval(ticks.step);
    // Qt lays the whole chart out again at every new format, the same or not.
    const QString format = QStringLiteral("%.%1f").arg(ticks.decimals);
    if (axis_.labelFormat() != format)
        axis_.setLabelFormat(format);
}

void RoundAxis::setRange(double low, double high)
{
    const RoundTicks ticks = ticksFor(low, high);
    const double oldSpan = axis_.max() - axis_.min();
    const double oldStep = axis_.tickInterval() > 0 ? axis_.tickInterval() : ticks.step;
    // Labels for a moment: the old range at the new step, or the new range at the old one.
    if (oldSpan / ticks.step <= (high - low) / oldStep)
        lay(ticks);
    axis_.setRange(low, high);
    lay(ticks);
}

void localizeChart(QChart& chart, QLocale locale)
{
    locale.setNumberOptions(locale.numberOptions() | QLocale::OmitGroupSeparator);
    chart.setLocale(locale);
    chart.setLocalizeNumbers(true);
}

} // namespace quilex
