#include "history/history_tables.h"

#include <QTime>

#include <algorithm>
#include <charconv>
#include <cmath>

namespace quilex {

namespace {

// A number with a fixed count of decimals in the locale's decimal separator and minus sign,
// never with group separators, as the statistics write it. Formatted by std::to_chars rather
// than through the locale, which for a table of 20,000 rows took most of the time.
struct NumberStyle {
    explicit NumberStyle(const QLocale& locale) : point(locale.decimalPoint()), minus(locale.negativeSign()) {}
    QString point;
    QString minus;
};

QString decimalText(double value, int decimals, const NumberStyle& style)
{
    // Half a unit of the last place rounds away from zero whatever the double's last bits
    // say, and a value that rounds to nothing is written without a minus sign.
    const double scale = std::pow(10.0, decimals);
    double rounded = std::round(value * scale * (1 + 1e-12)) / scale;
    if (rounded == 0 || !std::isfinite(rounded))
        rounded = 0;
    char digits[64];
    const auto written = std::to_chars(digits, digits + sizeof digits, std::abs(rounded), std::chars_format::fixed, decimals);
    QString text = QString::fromLatin1(digits, written.ec == std::errc() ? written.ptr - digits : 0);
    const qsizetype point = text.indexOf(u'.');
    if (point >= 0)
        text.replace(point, 1, style.point);
    return rounded < 0 ? style.minus + text : text;
}

template <typename T, typename F>
QString optionalText(const std::optional<T>& value, F&& text)
{
    return value ? text(*value) : QString();
}

} // namespace

QString thicknessText(std::int32_t hundredths, const QLocale& locale)
{
    return decimalText(hundredths / 100.0, 2, NumberStyle(locale));
}

std::optional<std::int32_t> thicknessFromText(const QString& text)
{
    // Digits, and at most two decimals after a point or a comma, so that a value typed either
    // way reads the same in every locale.
    const QString t = text.trimmed();
    std::int64_t hundredths = 0;
    int decimals = -1;
    for (QChar c : t) {
        if ((c == u'.' || c == u',') && decimals < 0) {
            decimals = 0;
            continue;
        }
        if (c < u'0' || c > u'9' || decimals >= 2)
            return std::nullopt;
        hundredths = hundredths * 10 + (c.unicode() - u'0');
        if (decimals >= 0)
            ++decimals;
        if (hundredths > 100000000)
            return std::nullopt; // a kilometre of wall is a typing error
    }
    if (decimals == 0 || t.isEmpty() || t.front() == u'.' || t.front() == u',')
        return std::nullopt;
    for (int d = std::max(decimals, 0); d < 2; ++d)
        hundredths *= 10;
    if (hundredths <= 0 || hundredths > 100000000)
        return std::nullopt;
    return std::int32_t(hundredths);
}

QString isoDate(const QDate& date)
{
    int year = 0, month = 0, day = 0;
    date.getDate(&year, &month, &day);
    if (!date.isValid() || year < 1 || year > 9999)
        return {};
    // By hand: a rates table writes five dates a row, and QDate::toString asks the locale.
    const char16_t text[10] = {char16_t(u'0' + year / 1000),       char16_t(u'0' + year / 100 % 10),
                               char16_t(u'0' + year / 10 % 10),    char16_t(u'0' + year % 10),
                               u'-',                               char16_t(u'0' + month / 10),
                               char16_t(u'0' + month % 10),        u'-',
                               char16_t(u'0' + day / 10),          char16_t(u'0' + day % 10)};
    return QString(reinterpret_cast<const QChar*>(text), 10);
}

std::optional<QDate> dateFromIso(QStringView text)
{
    if (text.size() != 10 || text[4] != u'-' || text[7] != u'-')
        return std::nullopt;
    const QDate date = QDate::fromString(text.toString(), Qt::ISODate);
    if (!date.isValid())
        return std::nullopt;
    return date;
}

QStringList ratesRow(const LocationRates& r, const QLocale& locale)
{
    const LocationFigures& f = r.figures;
    const NumberStyle style(locale);
    const auto thickness = [&](std::int32_t t) { return decimalText(t / 100.0, 2, style); };
    const auto rate = [&](double v) { return decimalText(v, 3, style); };
    const auto years = [&](double v) { return decimalText(v, 1, style); };
    const auto date = [](const QDate& d) { return isoDate(d); };
    const auto datedDate = [](const std::optional<DatedThickness>& d) { return d ? isoDate(d->date) : QString(); };
    const auto datedValue = [&](const std::optional<DatedThickness>& d) { return d ? thickness(d->thickness) : QString(); };
    return {locationText(r.location),
            QString::number(r.location.series),
            QString::number(r.location.number),
            r.cell.value_or(QString()),
            optionalText(r.nominal, thickness),
            optionalText(f.required, thickness),
            datedDate(f.base),
            datedValue(f.base),
            datedDate(f.previous),
            datedValue(f.previous),
            datedDate(f.last),
            datedValue(f.last),
            optionalText(f.longTermRate, rate),
            optionalText(f.shortTermRate, rate),
            optionalText(f.governingRate, rate),
            optionalText(f.remainingLife, years),
            optionalText(f.retirement, date),
            optionalText(f.interval, years),
            optionalText(f.nextInspection, date),
            statusName(r.status),
            flagLetters(f.flags)};
}

QStringList readingsRow(const Reading& reading)
{
    const QLocale c = QLocale::c();
    return {locationText(reading.location),
            QString::number(reading.location.series),
            QString::number(reading.location.number),
            isoDate(reading.date),
            reading.secondsOfDay ? QTime(0, 0).addSecs(*reading.secondsOfDay).toString(QStringLiteral("hh:mm:ss"))
                                 : QString(),
            thicknessText(reading.thickness, c),
            reading.soundSpeed ? QString::number(*reading.soundSpeed) : QString(),
            reading.material,
            isoDate(reading.surveyDate),
            markName(reading.mark)};
}

QStringList surveysRow(const Survey& survey)
{
    return {QString::number(survey.number),     isoDate(survey.date),       survey.details.label,
            survey.details.operatorName,        survey.details.gauge,       survey.details.probe,
            survey.details.source,              QString::number(survey.readings)};
}

QStringList groupRow(const QString& series, const QString& name, const GroupValues& values, const QLocale& locale)
{
    const auto thickness = [&](std::int32_t t) { return thicknessText(t, locale); };
    const auto whole = [](auto n) { return QString::number(n); };
    return {series,
            name,
            optionalText(values.nominal, thickness),
            optionalText(values.required, thickness),
            optionalText(values.gridColumns, whole),
            optionalText(values.firstNumber, whole)};
}

QStringList locationRow(const LocationSettings& location, const std::optional<QString>& cell, const QLocale& locale)
{
    return {locationText(location.key),
            QString::number(location.key.series),
            QString::number(location.key.number),
            cell.value_or(QString()),
            location.description,
            location.required ? thicknessText(*location.required, locale) : QString(),
            location.renewed ? isoDate(*location.renewed) : QString()};
}

} // namespace quilex
