#pragma once
// The survey history as one SQLite 3 file (".qlh"). The schema is documented in the README
// and the manual page so that anyone can open a history with sqlite3; it carries its version
// in PRAGMA user_version and the mark of this program in PRAGMA application_id.
//
// The file stays one file: a rollback journal (never a write-ahead log), which SQLite deletes
// when each transaction ends. A program killed in the middle of a change leaves the journal
// behind, and the next program to open the history puts the file back as it was before.

#include "base/result.h"
#include "history/history_store.h"

#include <QString>

#include <memory>

namespace quilex {

// The schema this program writes, and the newest it reads.
inline constexpr int HistorySchemaVersion = 1;
// "QLHX" as a big-endian number: PRAGMA application_id of every history.
inline constexpr std::int32_t HistoryApplicationId = 0x514C4858;
// How long a change waits for another program that is using the same history.
inline constexpr int HistoryBusySeconds = 30;

// Makes a new history holding only its object; a file of that name that exists already is
// refused. The file appears whole or not at all.
Result<void> createHistory(const QString& path, const ObjectSettings& object);

// Opens the history at path. A file that is none (no SQLite database, another program's
// database), is damaged or was written by a newer schema is refused with its message and
// left as it was.
Result<std::unique_ptr<HistoryStore>> openHistory(const QString& path);

} // namespace quilex
