#pragma once
// The history's figures as rows of text, the same for the command line, the window and a
// report: thicknesses with two decimals, rates with three and years with one, in the locale's
// decimal separator as the statistics write them; dates as YYYY-MM-DD. The readings' rows
// are the exception: a point and ISO dates in every locale, the layout plant databases load.

#include "history/history_types.h"
#include "history/rates.h"

#include <QLocale>
#include <QStringList>

namespace quilex {

// "12,50" under a Russian locale, "12.50" under C.
QString thicknessText(std::int32_t hundredths, const QLocale& locale = QLocale::system());
// A thickness typed by the user ("6.35" or "6,35"): whole hundredths above 0.
std::optional<std::int32_t> thicknessFromText(const QString& text);
// "2024-03-01".
QString isoDate(const QDate& date);
std::optional<QDate> dateFromIso(QStringView text);

// The columns of ratesHeader (history_texts.h).
QStringList ratesRow(const LocationRates& rates, const QLocale& locale = QLocale::system());
// The columns of readingsHeader.
QStringList readingsRow(const Reading& reading);
// The columns of surveysHeader.
QStringList surveysRow(const Survey& survey);
// The columns of groupHeader: the group's own values (empty where it takes the default), or
// with series "all" the defaults.
QStringList groupRow(const QString& series, const QString& name, const GroupValues& values,
                     const QLocale& locale = QLocale::system());
// The columns of locationHeader.
QStringList locationRow(const LocationSettings& location, const std::optional<QString>& cell,
                        const QLocale& locale = QLocale::system());

} // namespace quilex
