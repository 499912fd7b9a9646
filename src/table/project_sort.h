#pragma once
// A project file sorted as one header click sorts its table, straight from the file's bytes to
// the sorted file's bytes. Only the clicked column is read, number columns without making a
// text of any cell; every other cell is copied as it stands, which makes sorting a large
// project on the command line several times quicker than reading the whole table, sorting it
// and writing it again. The result is byte for byte what that longer way writes.

#include "table/grid_sort.h"
#include "table/project_file.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QLocale>

#include <optional>
#include <vector>

namespace quilex {

class ProjectSort {
public:
    // The order for a click on the header of column with the table's direction before the
    // click. Nothing when the shortcut cannot promise the longer way's result: a file the reader
    // would refuse or whose texts would not come back byte for byte (a zero byte, a byte without
    // a character), a column the table does not have, or a cell the sort cannot convert. The
    // longer way then gives the answer, and its message when there is one.
    // The bytes must stay where they are until the last write.
    static std::optional<ProjectSort> prepare(QByteArrayView bytes, int column, SortDirection before,
                                              int languageIndex, const QLocale& locale = QLocale::system());

    // Hands the sorted project to sink in pieces, in order; stops when the sink says false. The
    // bytes are read a second time here, and bytes that changed meanwhile (a file's mapping
    // written to by another program) are refused with a message instead of being read past.
    Result<void> write(const ProjectSink& sink, int languageIndex) const;

private:
    ProjectSort() = default;

    QByteArrayView bytes_;
    ProjectColumns columns_;
    int fixedRows_ = 0;
    std::vector<TMyData> order_; // data row k is the file's row order_[k].RowIndex; empty: no row moves
    QByteArray trailer_; // the title block and the limits after the cells, as writing them again gives them
};

// The whole of the sorted project's bytes; nothing where ProjectSort::prepare gives nothing.
std::optional<QByteArray> sortedProjectBytes(QByteArrayView bytes, int column, SortDirection before,
                                             int languageIndex, const QLocale& locale = QLocale::system());

} // namespace quilex
