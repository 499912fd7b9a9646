#pragma once
// How an exchange thread reaches the user. It reports to up to four targets (a gauge bar, a
// dialog, a status label and whoever shows the materials), each of which may be absent, and
// it touches them only inside synchronize, which runs a piece of work on the interface thread
// and waits for it. The windows implement these with widgets, the command line with a
// terminal progress bar and standard error, the tests with recorders. What the exchange
// delivers crosses as typed records and materials: the thread makes no cell text.

#include "base/result.h"
#include "exchange/archive_records.h"
#include "exchange/materials.h"

#include <QString>

#include <functional>
#include <vector>

namespace quilex {

class GaugeTarget {
public:
    virtual ~GaugeTarget() = default;
    virtual void setGaugePosition(int percent) = 0;
    virtual void setGaugeVisible(bool visible) = 0;
};

class DialogTarget {
public:
    virtual ~DialogTarget() = default;
    virtual void setDialogCaption(const QString& caption) = 0;
    virtual void closeDialog() = 0;
};

class LabelTarget {
public:
    virtual ~LabelTarget() = default;
    virtual void setLabelText(const QString& text) = 0;
};

// Whoever shows the gauge's material table to the user: handed the 13 materials after a read,
// and asked for them, as the user has them at that moment, when a write begins.
class MaterialsTarget {
public:
    virtual ~MaterialsTarget() = default;
    virtual void showMaterials(const Materials& materials) = 0;
    // names are the material names as last read, for what the user does not see. A failure
    // stops the write before anything is sent; its message is shown in an error box.
    virtual Result<Materials> materialsToWrite(const MaterialNames& names) = 0;
};

// A download in which every record was read and checked: the records in the gauge's order, and
// the material names in use when it ended, which the records' material numbers refer to.
struct ArchiveDownload {
    std::vector<ArchiveRecord> records;
    MaterialNames names;
};

// How an exchange ended, told once when its thread is about to finish.
enum class ExchangeOutcome {
    Completed,      // the table, grid or picture was delivered, or the write was sent
    Cancelled,      // the user cancelled (or a caller gave up on a silent gauge)
    ChecksumFailed, // a block failed its check; nothing was delivered
    Refused,        // the exchange refused its input (a speed cell that is not a number)
    Aborted,        // an unknown mode ended it
    LinkFailed,     // the gauge stopped in the middle of a write: what it holds may be incomplete
};

class ExchangeBridge {
public:
    virtual ~ExchangeBridge() = default;
    // Runs work on the interface thread and returns when it is done.
    virtual void synchronize(const std::function<void()>& work) = 0;
    // A modal error box with no owner window; called inside synchronize.
    virtual void showErrorBox(const QString& caption, const QString& text) = 0;
    // An archive download in which every record was read and checked (no records for an empty
    // archive). The exchange never touches the archive table: its owner makes the rows, in the
    // language in use, and puts them in place. Called inside synchronize, before the progress
    // dialog is closed.
    virtual void archiveRead(const ArchiveDownload& download) { (void)download; }
    // The exchange is over; called inside synchronize, before the thread ends.
    virtual void exchangeEnded(ExchangeOutcome) {}
};

} // namespace quilex
