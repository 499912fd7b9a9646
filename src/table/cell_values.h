#pragma once
// Reading values back out of the archive table's texts: the one reader that the sort, the
// workbook, the statistics and the chart share. The table holds texts as the locale in use
// wrote them when the archive was read, and a project made on another computer may hold
// another locale's: a decimal number is read with "," or "." (or the locale's own separator),
// a date in the locale's short date format, a time as "hh:mm:ss". "NAN" and every other text
// that is not a value read as no value.

#include <QByteArrayView>
#include <QDate>
#include <QLocale>
#include <QString>
#include <QStringView>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace quilex {

// A decimal number as written: its value, and the digits it was written with.
struct DecimalNumber {
    double value = 0;         // the double that reading the decimal text gives
    int fractionDigits = 0;   // digits after the separator
    std::uint64_t digits = 0; // all its digits as one whole number (12,50 gives 1250)
    bool negative = false;
    // Written as a spreadsheet writes the same value again: no leading zeros ("007"), no
    // minus zero. Only such texts may become numbers in a workbook and still look the same.
    bool canonical = true;
};

class CellReader {
public:
    explicit CellReader(const QLocale& locale = QLocale::system());

    // An optional minus sign, ASCII digits, and optionally one decimal separator ("," or "."
    // or the locale's) followed by digits; at most 15 significant digits, which a double
    // holds exactly. Group separators, exponents and plus signs are not read.
    std::optional<DecimalNumber> decimal(QStringView text) const;
    // A thickness in hundredths of a millimetre: a decimal with at most two decimals (more
    // only when they are zeros), or failing that any number the locale reads that is a whole
    // number of hundredths; within 32 bits.
    std::optional<std::int32_t> hundredths(const QString& text) const;
    // A signed whole number in 32 bits: an optional sign and ASCII digits, nothing else.
    static std::optional<std::int32_t> wholeNumber(QStringView text);
    // The same two read from a cell's Windows-1251 bytes, where a digit, a sign, "," and "."
    // are the very bytes of their characters, so no text need be made. wholeNumberOfBytes
    // answers as wholeNumber does for every cell. plainHundredths reads a thickness only in its
    // everyday form, an optional "-", one to seven digits and optionally "," or "." with one or
    // two digits, and answers as hundredths() does for it; anything else gives nothing, and
    // hundredths() of its text is the answer.
    static std::optional<std::int32_t> wholeNumberOfBytes(QByteArrayView bytes);
    static std::optional<std::int32_t> plainHundredths(QByteArrayView bytes);
    // Seconds since midnight of a time written "hh:mm:ss" (two digits each).
    static std::optional<int> secondsOfDay(QStringView text);
    // A date written in the locale's short date format, exactly as the locale writes it again;
    // two-digit years are taken as 2000 to 2099 (the gauge's years).
    std::optional<QDate> date(const QString& text) const;
    // The same through the locale's own parser, which is what date() answers like; date() only
    // takes a shorter way for the formats it can read digit by digit. For the tests.
    std::optional<QDate> dateThroughLocale(const QString& text) const;

    const QLocale& locale() const { return locale_; }
    // The short date format writes the year with two digits, which read back as 2000 to 2099.
    bool twoDigitYears() const { return twoDigitYears_; }
    const QString& shortDateFormat() const { return dateFormat_; }

private:
    // The short date format taken apart, when it holds only fields the reader can read digit by
    // digit (or English month names) and literal characters.
    struct DateField {
        enum class Kind { Literal, Day, Month, MonthName, Year } kind = Kind::Literal;
        int width = 0;   // digits: 1 (one or two, no leading zero), 2 or 4; names: 3 or 4 letters
        QString literal; // for Literal
    };
    std::optional<QDate> dateByFields(QStringView text) const;

    QLocale locale_;
    std::vector<DateField> dateFields_; // empty: the locale reads every date
    std::array<QString, 12> monthNames_; // for MonthName, as the format writes them
    QLocale numbers_; // the locale, refusing group separators
    QString minus_;
    char16_t point_ = u'.';
    QString dateFormat_;
    bool twoDigitYears_ = false;
};

} // namespace quilex
