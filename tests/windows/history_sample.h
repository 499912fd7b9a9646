#pragma once
// A small survey history with a location of every status, for the window tests: the worked
// examples of the rates (API 570 class 2, required 6.00 mm, as of 2024-03-01) in group 1 with a
// grid of three columns, and a group without a required thickness.
//
//   1-1 (A1)  10.00, 9.60, 9.00 on 2016/2020/2024-03-01   green
//   1-2 (B1)   7.60, 7.20, 6.48                           amber
//   1-3 (C1)   8.00 (2020), 5.90 (2024)                   red
//   1-4 (A2)   8.00 (2020), 9.00 (2022, grown: E), 7.80   amber, flag E
//   2-1        5.00 (2024)                                grey

#include "history/sqlite_history.h"

#include <QDate>
#include <QString>

#include <gtest/gtest.h>

namespace quilex::test {

inline const QDate SampleAsOf(2024, 3, 1);

inline void makeSampleHistory(const QString& path)
{
    ASSERT_TRUE(createHistory(path, ObjectSettings{QStringLiteral("Unit 4"), InspectionCode::Api570, 2}).ok());
    auto store = openHistory(path);
    ASSERT_TRUE(store.ok()) << store.error().toStdString();
    const auto reading = [](int series, int number, QDate day, int hundredths) {
        IncomingReading r;
        r.location = {series, number};
        r.date = day;
        r.secondsOfDay = 9 * 3600;
        r.thickness = hundredths;
        r.soundSpeed = 5920;
        r.material = QStringLiteral("steel");
        return r;
    };
    const QDate d2016(2016, 3, 1), d2020(2020, 3, 1), d2022(2022, 3, 1), d2024(2024, 3, 1);
    const std::vector<std::vector<IncomingReading>> visits{
        {reading(1, 1, d2016, 1000), reading(1, 2, d2016, 760)},
        {reading(1, 1, d2020, 960), reading(1, 2, d2020, 720), reading(1, 3, d2020, 800), reading(1, 4, d2020, 800)},
        {reading(1, 4, d2022, 900)},
        {reading(1, 1, d2024, 900), reading(1, 2, d2024, 648), reading(1, 3, d2024, 590), reading(1, 4, d2024, 780),
         reading(2, 1, d2024, 500)},
    };
    int visit = 0;
    for (const auto& readings : visits) {
        SurveyDetails details;
        details.label = QStringLiteral("visit %1").arg(++visit);
        details.operatorName = QStringLiteral("Ivanov");
        details.gauge = QStringLiteral("Q-A 1234");
        details.probe = QStringLiteral("P112");
        details.source = QStringLiteral("visit%1.qlx").arg(visit);
        ASSERT_TRUE((*store)->add(IncomingReadings{readings, 0}, details, AddMode::Write).ok());
    }
    ASSERT_TRUE((*store)
                    ->updateGroup(1,
                                  [](GroupSettings& g) {
                                      g.name = QStringLiteral("Shell");
                                      g.values.nominal = 1000;
                                      g.values.required = 600;
                                      g.values.gridColumns = 3;
                                  })
                    .ok());
    ASSERT_TRUE((*store)->updateGroup(2, [](GroupSettings& g) { g.name = QStringLiteral("Nozzles"); }).ok());
    ASSERT_TRUE((*store)->updateLocation({1, 1}, [](LocationSettings& l) { l.description = QStringLiteral("north"); }).ok());
}

} // namespace quilex::test
