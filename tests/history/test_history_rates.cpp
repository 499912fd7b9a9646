// The rates, remaining life, intervals and status of a location, with figures worked by hand
// (a year is 365.25 days; 2016-03-01 to 2024-03-01 is 2922 days, 8 years exactly).

#include "history/history_tables.h"
#include "history/rates.h"

#include <QLocale>

#include <gtest/gtest.h>

using namespace quilex;

namespace {

const QDate D2016(2016, 3, 1), D2018(2018, 3, 1), D2020(2020, 3, 1), D2024(2024, 3, 1);

Measurement at(QDate date, std::int32_t hundredths, Mark mark = Mark::None)
{
    return {date, hundredths, mark};
}

LocationRules rules(InspectionCode code = InspectionCode::Api570, std::optional<int> pipingClass = 2,
                    std::optional<std::int32_t> required = 600)
{
    LocationRules r;
    r.code = code;
    r.pipingClass = pipingClass;
    r.required = required;
    return r;
}

// The cells of the rates table from "governing rate" on, in the C locale: governing rate,
// remaining life, retirement, interval, next inspection, status, flags.
QStringList tail(const LocationFigures& f, QDate asOf = D2024)
{
    LocationRates r;
    r.figures = f;
    r.status = statusOn(f, asOf);
    return ratesRow(r, QLocale::c()).mid(14);
}

} // namespace

TEST(HistoryRates, TheWorkedExamples)
{
    // 10.00, 9.60, 9.00: LT 1.00 / 8 = 0.125, ST 0.60 / 4 = 0.150, RL 3.00 / 0.150 = 20.0,
    // half of it capped at 10 for class 2.
    const std::vector<Measurement> green{at(D2016, 1000), at(D2020, 960), at(D2024, 900)};
    const LocationFigures g = locationFigures(green, rules());
    ASSERT_TRUE(g.longTermRate && g.shortTermRate && g.remainingLife);
    EXPECT_NEAR(*g.longTermRate, 0.125, 1e-12);
    EXPECT_NEAR(*g.shortTermRate, 0.150, 1e-12);
    EXPECT_EQ(g.base->date, D2016);
    EXPECT_EQ(g.previous->date, D2020);
    EXPECT_EQ(tail(g), (QStringList{"0.150", "20.0", "2044-03-01", "10.0", "2034-03-01", "green", ""}));

    // 7.60, 7.20, 6.48: LT 1.12 / 8 = 0.140, ST 0.72 / 4 = 0.180, RL 0.48 / 0.18 = 2.67 years
    // = 32 months (12 x 2.666... lands a hair below 32 in doubles), interval 16 months.
    const std::vector<Measurement> amber{at(D2016, 760), at(D2020, 720), at(D2024, 648)};
    const LocationFigures a = locationFigures(amber, rules());
    EXPECT_NEAR(*a.longTermRate, 0.140, 1e-12);
    EXPECT_EQ(tail(a), (QStringList{"0.180", "2.7", "2026-11-01", "1.3", "2025-07-01", "amber", ""}));
    // API 510: under 4 years of life, the whole life up to 2 years.
    EXPECT_EQ(tail(locationFigures(amber, rules(InspectionCode::Api510, std::nullopt))),
              (QStringList{"0.180", "2.7", "2026-11-01", "2.0", "2026-03-01", "amber", ""}));

    // 8.00 and 8.00: no thinning, no limit on the life, the cap as interval.
    const LocationFigures flat = locationFigures(std::vector{at(D2020, 800), at(D2024, 800)}, rules());
    EXPECT_EQ(tail(flat), (QStringList{"0.000", "", "", "10.0", "2034-03-01", "green", ""}));
    // 8.00 then 5.90: below the required, whatever the rate.
    const LocationFigures worn = locationFigures(std::vector{at(D2020, 800), at(D2024, 590)}, rules());
    EXPECT_EQ(tail(worn), (QStringList{"0.525", "0.0", "2024-03-01", "0.0", "2024-03-01", "red", ""}));
}

TEST(HistoryRates, GrowthIsExcludedWarnedVerifiedOrIgnored)
{
    // 11.20 after 10.00 is 12 % thicker: out of every rate, flag E, amber.
    const auto readings = [](Mark mark) {
        return std::vector{at(D2016, 1000), at(D2018, 1120, mark), at(D2024, 900)};
    };
    const LocationFigures excluded = locationFigures(readings(Mark::None), rules());
    EXPECT_EQ(excluded.keptValues, 2);
    EXPECT_EQ(excluded.previous->date, D2016);
    EXPECT_EQ(excluded.values[1].state, DayValue::State::Excluded);
    EXPECT_EQ(tail(excluded), (QStringList{"0.125", "24.0", "2048-03-01", "10.0", "2034-03-01", "amber", "E"}));

    // Verified, it counts without a flag: ST 2.20 over 2192 days (6.0014 years) = 0.3666, RL
    // 3.00 / 0.3666 = 8.18 years = 98 months, interval 4.09 years = 49 months.
    const LocationFigures verified = locationFigures(readings(Mark::Verified), rules());
    EXPECT_EQ(verified.values[1].state, DayValue::State::Verified);
    EXPECT_EQ(tail(verified), (QStringList{"0.367", "8.2", "2032-05-01", "4.1", "2028-04-01", "green", ""}));

    // Ignored, it is gone, and the flag with it.
    const LocationFigures ignored = locationFigures(readings(Mark::Ignored), rules());
    EXPECT_EQ(ignored.values.size(), 2u);
    EXPECT_EQ(tail(ignored), (QStringList{"0.125", "24.0", "2048-03-01", "10.0", "2034-03-01", "green", ""}));

    // Up to 10 % thicker counts with W: 10.50 after 10.00, ST 1.50 / 6.0014 = 0.2499.
    const LocationFigures warned = locationFigures(std::vector{at(D2016, 1000), at(D2018, 1050), at(D2024, 900)}, rules());
    EXPECT_EQ(tail(warned), (QStringList{"0.250", "12.0", "2036-03-01", "6.0", "2030-03-01", "green", "W"}));

    // The edge: exactly 10 % is W, one hundredth more is E; and a value after an excluded one
    // is compared with the last kept value, not with the excluded one.
    EXPECT_EQ(locationFigures(std::vector{at(D2016, 1000), at(D2020, 1100)}, rules()).flags, unsigned(FlagGrowth));
    EXPECT_EQ(locationFigures(std::vector{at(D2016, 1000), at(D2020, 1101)}, rules()).flags, unsigned(FlagExcluded));
    const LocationFigures after =
        locationFigures(std::vector{at(D2016, 1000), at(D2018, 1150), at(D2020, 1050)}, rules());
    EXPECT_EQ(flagLetters(after.flags), "EW");
    EXPECT_EQ(after.last->thickness, 1050);
}

TEST(HistoryRates, ShortTermPassesOverValuesWithinHalfAYear)
{
    // 9.80 lies 91 days before the last: passed over, T; previous is 10.00 four years before.
    const LocationFigures t =
        locationFigures(std::vector{at(D2020, 1000), at(QDate(2023, 12, 1), 980), at(D2024, 970)}, rules());
    EXPECT_EQ(t.previous->date, D2020);
    EXPECT_NEAR(*t.shortTermRate, 0.075, 1e-12);
    EXPECT_EQ(flagLetters(t.flags), "T");

    // Nothing 183 days back: no short-term rate, still T; the long-term one governs:
    // 0.10 over 91 days = 0.4014 mm/y, life 3.70 / 0.4014 = 9.2 years.
    const LocationFigures alone = locationFigures(std::vector{at(QDate(2023, 12, 1), 980), at(D2024, 970)}, rules());
    EXPECT_FALSE(alone.previous);
    EXPECT_FALSE(alone.shortTermRate);
    EXPECT_EQ(ratesRow({{}, {}, {}, alone, statusOn(alone, D2024)}, QLocale::c()).mid(12, 4),
              (QStringList{"0.401", "", "0.401", "9.2"}));
    EXPECT_EQ(flagLetters(alone.flags), "T");

    // Exactly 183 days is far enough: 0.10 / 0.501 years = 0.200.
    const LocationFigures edge = locationFigures(std::vector{at(QDate(2023, 8, 31), 980), at(D2024, 970)}, rules());
    EXPECT_EQ(edge.flags, 0u);
    EXPECT_NEAR(*edge.shortTermRate, 0.19959, 1e-5);

    // The governing rate as asked: the green example's LT alone gives 3.00 / 0.125 = 24 years.
    LocationRules longTerm = rules();
    longTerm.rate = RateChoice::LongTerm;
    const std::vector<Measurement> green{at(D2016, 1000), at(D2020, 960), at(D2024, 900)};
    EXPECT_EQ(tail(locationFigures(green, longTerm)).mid(0, 3), (QStringList{"0.125", "24.0", "2048-03-01"}));
    LocationRules shortTerm = rules();
    shortTerm.rate = RateChoice::ShortTerm;
    // ...and short-term alone, where there is none, leaves the life not limited.
    EXPECT_FALSE(locationFigures(std::vector{at(QDate(2023, 12, 1), 980), at(D2024, 970)}, shortTerm).remainingLife);
}

TEST(HistoryRates, RenewalForgetsTheOldWall)
{
    // A pipe replaced on 2020-03-01: the 7.00 of 2016 belongs to the old one. From 10.00 to
    // 9.60 in four years: 0.100 mm/y, 36 years of life.
    const std::vector<Measurement> readings{at(D2016, 700), at(D2020, 1000), at(D2024, 960)};
    LocationRules renewed = rules();
    renewed.renewed = D2020;
    const LocationFigures f = locationFigures(readings, renewed);
    EXPECT_EQ(f.base->date, D2020);
    EXPECT_EQ(f.values.size(), 2u);
    EXPECT_EQ(tail(f), (QStringList{"0.100", "36.0", "2060-03-01", "10.0", "2034-03-01", "green", ""}));
    // Unrenewed, the new wall looks like growth on the old one.
    EXPECT_EQ(flagLetters(locationFigures(readings, rules()).flags), "E");
}

TEST(HistoryRates, IntervalsByCode)
{
    const std::vector<Measurement> green{at(D2016, 1000), at(D2020, 960), at(D2024, 900)}; // RL 20
    // API 570 class 1: at most 5 years.
    EXPECT_EQ(tail(locationFigures(green, rules(InspectionCode::Api570, 1))).mid(3, 2),
              (QStringList{"5.0", "2029-03-01"}));
    // API 653 with one value: no rate, not limited, 5 years while it is the only one.
    const LocationFigures one = locationFigures(std::vector{at(D2024, 900)}, rules(InspectionCode::Api653, std::nullopt));
    EXPECT_FALSE(one.longTermRate);
    EXPECT_EQ(tail(one), (QStringList{"", "", "", "5.0", "2029-03-01", "green", ""}));
    // API 653 capped: 0.20 in 8 years = 0.025 mm/y, life 3.80 / 0.025 = 152 years, half of it
    // capped at 15.
    const LocationFigures tank =
        locationFigures(std::vector{at(D2016, 1000), at(D2024, 980)}, rules(InspectionCode::Api653, std::nullopt));
    EXPECT_EQ(tail(tank), (QStringList{"0.025", "152.0", "2176-03-01", "15.0", "2039-03-01", "green", ""}));
    // API 510 with 4 years or more: half the life up to 10.
    EXPECT_DOUBLE_EQ(inspectionInterval(InspectionCode::Api510, std::nullopt, 3, 6.0), 3.0);
    EXPECT_DOUBLE_EQ(inspectionInterval(InspectionCode::Api510, std::nullopt, 3, 1.5), 1.5);
    EXPECT_DOUBLE_EQ(inspectionInterval(InspectionCode::Api510, std::nullopt, 3, std::nullopt), 10.0);
    EXPECT_DOUBLE_EQ(inspectionInterval(InspectionCode::Api653, std::nullopt, 1, 4.0), 2.0);
}

TEST(HistoryRates, StatusOnADay)
{
    const std::vector<Measurement> green{at(D2016, 1000), at(D2020, 960), at(D2024, 900)}; // next 2034-03-01
    const LocationFigures g = locationFigures(green, rules());
    EXPECT_EQ(statusOn(g, QDate(2033, 11, 30)), Status::Green); // 91 days before
    EXPECT_EQ(statusOn(g, QDate(2033, 12, 1)), Status::Amber);  // 90 days before
    EXPECT_EQ(statusOn(g, QDate(2034, 3, 1)), Status::Amber);   // on the day
    EXPECT_EQ(statusOn(g, QDate(2034, 3, 2)), Status::Red);     // after it
    const LocationFigures a = locationFigures(std::vector{at(D2016, 760), at(D2020, 720), at(D2024, 648)}, rules());
    EXPECT_EQ(statusOn(a, QDate(2026, 10, 31)), Status::Red); // past the next inspection already
    // Grey: no required thickness (and then no plan either), or no value.
    const LocationFigures unknown = locationFigures(green, rules(InspectionCode::Api570, 2, std::nullopt));
    EXPECT_EQ(tail(unknown), (QStringList{"0.150", "", "", "", "", "grey", ""}));
    EXPECT_EQ(statusOn(locationFigures({}, rules()), D2024), Status::Grey);

    // A day's value is its thinnest reading that is not ignored.
    const auto day = [](Mark mark) {
        return locationFigures(std::vector{at(D2024, 900), at(D2024, 850, mark)}, rules()).last->thickness;
    };
    EXPECT_EQ(day(Mark::None), 850);
    EXPECT_EQ(day(Mark::Ignored), 900);

    // A group: its worst location (grey above green), its earliest next inspection.
    std::vector<LocationRates> group(3);
    group[0].status = Status::Green;
    group[0].figures.nextInspection = QDate(2030, 1, 1);
    group[1].status = Status::Grey;
    group[2].status = Status::Green;
    group[2].figures.nextInspection = QDate(2027, 5, 1);
    StatusSummary summary = summarize(group);
    EXPECT_EQ(summary.status, Status::Grey);
    EXPECT_EQ(summary.nextInspection, QDate(2027, 5, 1));
    EXPECT_EQ(summary.counts[std::size_t(Status::Green)], 2);
    group[1].status = Status::Amber;
    EXPECT_EQ(summarize(group).status, Status::Amber);
}

TEST(HistoryRates, LocationsCellsAndTexts)
{
    EXPECT_EQ(gridCell(1, 10, 1), "A1");
    EXPECT_EQ(gridCell(23, 10, 1), "C3");
    EXPECT_EQ(gridCell(100, 10, 1), "J10");
    EXPECT_EQ(gridCell(27, 30, 1), "AA1");
    EXPECT_EQ(gridCell(702, 702, 1), "ZZ1");
    EXPECT_EQ(gridCell(703, 702, 1), "A2");
    EXPECT_EQ(gridCell(5, 4, 5), "A1");
    EXPECT_FALSE(gridCell(4, 4, 5));

    EXPECT_EQ(locationFromText(u"3-12").value(), (LocationKey{3, 12}));
    EXPECT_EQ(locationFromText(u" 0 - 7 ").value(), (LocationKey{0, 7}));
    for (const char16_t* bad : {u"3", u"3-", u"-3-12", u"3-12-1", u"a-1", u"3-99999999999"})
        EXPECT_FALSE(locationFromText(bad)) << QString::fromUtf16(bad).toStdString();

    EXPECT_EQ(thicknessFromText("6.35"), 635);
    EXPECT_EQ(thicknessFromText("6,3"), 630);
    EXPECT_EQ(thicknessFromText("12"), 1200);
    for (const char* bad : {"6.355", "0", "0.00", "-1", ".5", "5.", "1e3", "", "6.3.5"})
        EXPECT_FALSE(thicknessFromText(bad)) << bad;

    // The locale's decimal separator, as the statistics write it; words and dates the same.
    const std::vector<Measurement> green{at(D2016, 1000), at(D2020, 960), at(D2024, 900)};
    LocationRates r{{1, 23}, QStringLiteral("C3"), 1000, locationFigures(green, rules()), Status::Green};
    EXPECT_EQ(ratesRow(r, QLocale(QLocale::Russian, QLocale::Russia)).join(u'|'),
              "1-23|1|23|C3|10,00|6,00|2016-03-01|10,00|2020-03-01|9,60|2024-03-01|9,00|0,125|0,150|0,150|20,0|"
              "2044-03-01|10,0|2034-03-01|green|");
}
