#pragma once
// The title block of an inspection report: what the inspector types once for a table (the
// object, the place, who measured, with which gauge and probe, how it was calibrated, which
// couplant) and what every report of that table then carries at its top. Plain texts; the
// date is the report's own.

#include <QString>

namespace quilex {

struct ReportTitle {
    QString object;
    QString place;
    QString operatorName;
    QString gauge;
    QString serial;
    QString probe;
    QString calibration;
    QString couplant;

    bool empty() const
    {
        return object.isEmpty() && place.isEmpty() && operatorName.isEmpty() && gauge.isEmpty() && serial.isEmpty()
               && probe.isEmpty() && calibration.isEmpty() && couplant.isEmpty();
    }
    friend bool operator==(const ReportTitle&, const ReportTitle&) = default;
};

} // namespace quilex
