#pragma once
// A project file sorted as one header click sorts its table, straight from the file's bytes to
// the sorted file's bytes. Only the clicked column is read as text; every other cell is copied
// as it stands, which makes sorting a large project on the command line several times quicker
// than reading the whole table, sorting it and writing it again. The result is byte for byte
// what that longer way writes.

#include "table/grid_sort.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QLocale>

#include <optional>

namespace quilex {

// The bytes of the sorted project, for a click on the header of column with the table's
// direction before the click. Nothing when the shortcut cannot promise the longer way's result:
// a file the reader would refuse or whose texts would not come back byte for byte (a zero byte,
// a byte without a character), a column the table does not have, or a cell the sort cannot
// convert. The longer way then gives the answer, and its message when there is one.
std::optional<QByteArray> sortedProjectBytes(QByteArrayView bytes, int column, SortDirection before,
                                             int languageIndex, const QLocale& locale = QLocale::system());

} // namespace quilex
