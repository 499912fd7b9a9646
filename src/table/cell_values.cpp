#include "table/cell_values.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>

namespace quilex {

namespace {

bool isAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

constexpr std::array<double, 16> PowersOfTen{1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                             1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};

} // namespace

CellReader::CellReader(const QLocale& locale)
    : locale_(locale), numbers_(locale), minus_(locale.negativeSign()),
      dateFormat_(locale.dateFormat(QLocale::ShortFormat))
{
    numbers_.setNumberOptions(numbers_.numberOptions() | QLocale::RejectGroupSeparator);
    const QString point = locale.decimalPoint();
    if (point.size() == 1 && !isAsciiDigit(point[0]))
        point_ = point[0].unicode();
    twoDigitYears_ = dateFormat_.contains(QLatin1String("yy")) && !dateFormat_.contains(QLatin1String("yyyy"));

    // A table of many thousand rows holds as many dates, and the locale's parser takes some
    // microseconds for each: the usual short formats (numbers and separators, or English month
    // names) are read digit by digit instead, with the same answer.
    using Kind = DateField::Kind;
    std::vector<DateField> fields;
    bool readable = true;
    int names = 0;
    for (qsizetype i = 0; i < dateFormat_.size() && readable;) {
        const QChar c = dateFormat_[i];
        qsizetype run = 1;
        while (i + run < dateFormat_.size() && dateFormat_[i + run] == c)
            ++run;
        if (c == u'd' && run <= 2) {
            fields.push_back({Kind::Day, int(run), {}});
        } else if (c == u'M' && run <= 2) {
            fields.push_back({Kind::Month, int(run), {}});
        } else if (c == u'M' && run <= 4) {
            fields.push_back({Kind::MonthName, int(run), {}});
            ++names;
        } else if (c == u'y' && (run == 2 || run == 4)) {
            fields.push_back({Kind::Year, int(run), {}});
        } else if (c.isLetterOrNumber() || c == u'\'') {
            readable = false; // week days, quoted text and the like: the locale reads them
        } else {
            if (fields.empty() || fields.back().kind != Kind::Literal)
                fields.push_back({Kind::Literal, 0, {}});
            fields.back().literal += QString(run, c);
        }
        i += run;
    }
    // Two numbers side by side could not be told apart digit by digit.
    for (std::size_t k = 1; k < fields.size() && readable; ++k)
        readable = fields[k].kind == Kind::Literal || fields[k - 1].kind == Kind::Literal;
    // Month names only where the program knows they are the same in every form.
    if (names > 0 && locale.language() != QLocale::C && locale.language() != QLocale::English)
        readable = false;
    if (readable && !fields.empty()) {
        dateFields_ = std::move(fields);
        for (const DateField& field : dateFields_)
            if (field.kind == Kind::MonthName)
                for (int m = 1; m <= 12; ++m)
                    monthNames_[std::size_t(m - 1)] =
                        locale_.toString(QDate(2000, m, 1), QString(field.width, u'M'));
    }
}

std::optional<QDate> CellReader::dateByFields(QStringView text) const
{
    using Kind = DateField::Kind;
    int day = 0;
    int month = 0;
    int year = 0;
    qsizetype at = 0;
    auto digitsAt = [&](qsizetype from, qsizetype count, int& value) {
        if (from + count > text.size())
            return false;
        value = 0;
        for (qsizetype i = from; i < from + count; ++i) {
            if (!isAsciiDigit(text[i]))
                return false;
            value = value * 10 + (text[i].unicode() - u'0');
        }
        return true;
    };
    for (const DateField& field : dateFields_) {
        switch (field.kind) {
        case Kind::Literal:
            if (!text.mid(at).startsWith(field.literal))
                return std::nullopt;
            at += field.literal.size();
            break;
        case Kind::MonthName: {
            month = 0;
            for (int m = 0; m < 12 && month == 0; ++m)
                if (!monthNames_[std::size_t(m)].isEmpty() && text.mid(at).startsWith(monthNames_[std::size_t(m)]))
                    month = m + 1;
            if (month == 0)
                return std::nullopt;
            at += monthNames_[std::size_t(month - 1)].size();
            break;
        }
        case Kind::Day:
        case Kind::Month:
        case Kind::Year: {
            int value = 0;
            qsizetype count = field.width;
            if (field.width == 1) {
                // One digit, or two when the first is not a zero: as the locale writes 7 and 17.
                count = at + 1 < text.size() && isAsciiDigit(text[at + 1]) ? 2 : 1;
                if (count == 2 && text[at] == u'0')
                    return std::nullopt;
            }
            if (!digitsAt(at, count, value))
                return std::nullopt;
            at += count;
            if (field.kind == Kind::Day)
                day = value;
            else if (field.kind == Kind::Month)
                month = value;
            else
                year = field.width == 2 ? 2000 + value : value;
            break;
        }
        }
    }
    if (at != text.size())
        return std::nullopt;
    const QDate date(year, month, day);
    if (!date.isValid())
        return std::nullopt;
    return date;
}

std::optional<DecimalNumber> CellReader::decimal(QStringView text) const
{
    DecimalNumber n;
    QStringView rest = text;
    if (!minus_.isEmpty() && minus_ != QLatin1String("-") && rest.startsWith(minus_)) {
        n.negative = true;
        rest = rest.mid(minus_.size());
    } else if (rest.startsWith(u'-')) {
        n.negative = true;
        rest = rest.mid(1);
    }
    QStringView whole = rest;
    QStringView fraction;
    qsizetype at = -1;
    for (qsizetype i = 0; i < rest.size(); ++i) {
        const QChar c = rest[i];
        if (c == u',' || c == u'.' || c == point_) {
            at = i;
            break;
        }
    }
    if (at >= 0) {
        whole = rest.left(at);
        fraction = rest.mid(at + 1);
        if (fraction.isEmpty())
            return std::nullopt;
    }
    if (whole.isEmpty() || !std::all_of(whole.begin(), whole.end(), isAsciiDigit)
        || !std::all_of(fraction.begin(), fraction.end(), isAsciiDigit))
        return std::nullopt;
    qsizetype leading = 0;
    while (leading + 1 < whole.size() && whole[leading] == u'0')
        ++leading;
    whole = whole.mid(leading);
    const qsizetype significant = (whole == u"0" ? 0 : whole.size()) + fraction.size();
    if (significant > 15)
        return std::nullopt;
    for (QChar c : whole)
        n.digits = n.digits * 10 + std::uint64_t(c.unicode() - u'0');
    for (QChar c : fraction)
        n.digits = n.digits * 10 + std::uint64_t(c.unicode() - u'0');
    n.fractionDigits = int(fraction.size());
    // Every power of ten up to 10^15 is a double, and so is every whole number of 15 digits: the
    // one division rounds once, to the same double that reading the decimal text gives.
    n.value = double(n.digits) / PowersOfTen[std::size_t(n.fractionDigits)];
    if (n.negative)
        n.value = -n.value;
    n.canonical = leading == 0 && !(n.negative && n.digits == 0);
    return n;
}

std::optional<std::int32_t> CellReader::hundredths(const QString& text) const
{
    constexpr std::int64_t Max = std::numeric_limits<std::int32_t>::max();
    if (const auto n = decimal(text)) {
        std::int64_t value = 0;
        if (n->fractionDigits <= 2) {
            value = std::int64_t(n->digits) * (n->fractionDigits == 0 ? 100 : n->fractionDigits == 1 ? 10 : 1);
        } else {
            const auto drop = std::uint64_t(PowersOfTen[std::size_t(n->fractionDigits - 2)]);
            if (n->digits % drop != 0)
                return std::nullopt; // a third decimal that is not zero
            value = std::int64_t(n->digits / drop);
        }
        if (value > Max + (n->negative ? 1 : 0))
            return std::nullopt;
        return std::int32_t(n->negative ? -value : value);
    }
    // Forms the plain reading leaves out (an exponent, the locale's own way of writing): the
    // number times 100, written with at most 15 significant digits and read back as a whole
    // number. The 15 digits swallow the binary rounding of the product (12.34 * 100 is
    // 1233.9999999999998), while a third decimal leaves a fraction and fails.
    bool ok = false;
    const double value = numbers_.toDouble(text, &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    char digits[64];
    const auto written = std::to_chars(digits, digits + sizeof digits, value * 100.0, std::chars_format::general, 15);
    if (written.ec != std::errc())
        return std::nullopt;
    return wholeNumber(QString::fromLatin1(digits, written.ptr - digits));
}

std::optional<std::int32_t> CellReader::wholeNumber(QStringView text)
{
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) {
        negative = text[i] == u'-';
        ++i;
    }
    if (i == text.size())
        return std::nullopt;
    std::int64_t value = 0;
    for (; i < text.size(); ++i) {
        if (!isAsciiDigit(text[i]))
            return std::nullopt;
        value = value * 10 + (text[i].unicode() - u'0');
        if (value > std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1)
            return std::nullopt;
    }
    if (negative)
        value = -value;
    if (value > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return static_cast<std::int32_t>(value);
}

std::optional<std::int32_t> CellReader::wholeNumberOfBytes(QByteArrayView bytes)
{
    qsizetype i = 0;
    bool negative = false;
    if (i < bytes.size() && (bytes[i] == '-' || bytes[i] == '+')) {
        negative = bytes[i] == '-';
        ++i;
    }
    if (i == bytes.size())
        return std::nullopt;
    std::int64_t value = 0;
    for (; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1)
            return std::nullopt;
    }
    if (negative)
        value = -value;
    if (value > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return static_cast<std::int32_t>(value);
}

std::optional<std::int32_t> CellReader::plainHundredths(QByteArrayView bytes)
{
    // Seven digits and two decimals stay far inside 32 bits, and within the 15 significant
    // digits that decimal() reads; the locale's own minus sign and separator are never digits,
    // so decimal() splits such a text just as here.
    const char* p = bytes.data();
    const char* const end = p + bytes.size();
    const bool negative = p != end && *p == '-';
    if (negative)
        ++p;
    std::int32_t value = 0;
    int digits = 0;
    for (; p != end && *p >= '0' && *p <= '9'; ++p) {
        if (++digits > 7)
            return std::nullopt;
        value = value * 10 + (*p - '0');
    }
    if (digits == 0)
        return std::nullopt;
    int decimals = 0;
    if (p != end) {
        if (*p != ',' && *p != '.')
            return std::nullopt;
        for (++p; p != end && *p >= '0' && *p <= '9'; ++p) {
            if (++decimals > 2)
                return std::nullopt;
            value = value * 10 + (*p - '0');
        }
        if (p != end || decimals == 0)
            return std::nullopt;
    }
    value *= decimals == 0 ? 100 : decimals == 1 ? 10 : 1;
    return negative ? -value : value;
}

std::optional<int> CellReader::secondsOfDay(QStringView text)
{
    if (text.size() != 8 || text[2] != u':' || text[5] != u':')
        return std::nullopt;
    int parts[3] = {};
    for (int i = 0; i < 3; ++i) {
        const QChar high = text[3 * i];
        const QChar low = text[3 * i + 1];
        if (!isAsciiDigit(high) || !isAsciiDigit(low))
            return std::nullopt;
        parts[i] = (high.unicode() - u'0') * 10 + (low.unicode() - u'0');
    }
    if (parts[0] > 23 || parts[1] > 59 || parts[2] > 59)
        return std::nullopt;
    return (parts[0] * 60 + parts[1]) * 60 + parts[2];
}

std::optional<QDate> CellReader::date(const QString& text) const
{
    if (!dateFields_.empty())
        return dateByFields(text);
    return dateThroughLocale(text);
}

std::optional<QDate> CellReader::dateThroughLocale(const QString& text) const
{
    // Every date the table holds has a digit in it; "NAN" and names need no parsing.
    if (text.isEmpty() || !std::any_of(text.begin(), text.end(), isAsciiDigit))
        return std::nullopt;
    QDate date = locale_.toDate(text, dateFormat_);
    if (!date.isValid())
        return std::nullopt;
    if (twoDigitYears_ && date.year() < 2000)
        date = date.addYears(100);
    if (locale_.toString(date, dateFormat_) != text)
        return std::nullopt;
    return date;
}

} // namespace quilex
