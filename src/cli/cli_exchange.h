#pragma once
// Running one exchange with the gauge from the command line: a progress bar on standard
// error when it is a terminal, error boxes as messages, and a watchdog that gives up when the
// gauge has sent nothing for a while.

#include "exchange/exchange_state.h"
#include "exchange/exchange_targets.h"

#include <QString>

#include <cstdint>
#include <vector>

namespace quilex::cli {

struct ExchangeRun {
    ExchangeOutcome outcome = ExchangeOutcome::Completed;
    bool gaveUp = false;      // the gauge sent nothing for the waiting time
    ArchiveDownload download; // a download's records, when every record was read
    QString lastError;        // text of the last error box, if any
    int exitStatus() const;   // 0, 2, 3 or 4 as the command line reports them
};

// Starts an exchange in firstMode with the given materials target and waits for its end.
// waitSeconds is how long the gauge may stay without sending a byte.
ExchangeRun runExchange(ExchangeState& state, std::uint8_t firstMode, MaterialsTarget* materials,
                        double waitSeconds);

// Prints the outcome's message in the language in use, when there is one to print.
void reportExchange(const ExchangeRun& run, double waitSeconds);

} // namespace quilex::cli
