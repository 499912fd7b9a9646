#pragma once
// The survey history behind one small interface: what the command line, the window and the
// reports ask of it, whatever keeps it. The one kept here is an SQLite file (sqlite_history.h);
// a team's server database could stand behind the same calls.
//
// Every call is one transaction: it happens whole or not at all, and two programs working on
// one history wait for each other. A call that changes nothing writes nothing. Failures carry
// their message for the user in the language in use.

#include "base/result.h"
#include "history/history_types.h"

#include <QDate>

#include <cstdint>
#include <functional>
#include <vector>

namespace quilex {

enum class AddMode { Write, DryRun };

class HistoryStore {
public:
    virtual ~HistoryStore() = default;

    // The object, the defaults, every group and every location.
    virtual Result<HistorySettings> settings() = 0;
    virtual Result<void> setObject(const ObjectSettings& object) = 0;
    // Each update reads the current values (a group or location not there yet starts empty),
    // lets `change` edit them and writes them back, creating the group or the location (and
    // the location's group) when needed, all in one transaction. The values as written come
    // back.
    virtual Result<GroupValues> updateDefaults(const std::function<void(GroupValues&)>& change) = 0;
    virtual Result<GroupSettings> updateGroup(std::int32_t series,
                                              const std::function<void(GroupSettings&)>& change) = 0;
    virtual Result<LocationSettings> updateLocation(LocationKey location,
                                                    const std::function<void(LocationSettings&)>& change) = 0;
    virtual Result<SurveyDetails> updateSurvey(std::int64_t survey,
                                               const std::function<void(SurveyDetails&)>& change) = 0;

    // Adds every reading not yet in the history, as one survey dated by the latest reading it
    // adds. A reading is the same as one kept when its location, date, time and thickness are;
    // one given twice counts once. Nothing new (or a dry run): nothing is written at all.
    virtual Result<AddCounts> add(const IncomingReadings& incoming, const SurveyDetails& survey, AddMode mode) = 0;

    // Marks every reading of the location on that day; the number of readings there are that
    // day (0: none, and nothing is changed).
    virtual Result<int> mark(LocationKey location, QDate day, Mark mark) = 0;

    // Every reading, by location, date and time.
    virtual Result<std::vector<Reading>> readings() = 0;
    // Every location that has readings, by location, each with its readings by date: what the
    // rates are computed from.
    virtual Result<std::vector<LocationMeasurements>> measurements() = 0;
    // Every survey, by number.
    virtual Result<std::vector<Survey>> surveys() = 0;
};

} // namespace quilex
