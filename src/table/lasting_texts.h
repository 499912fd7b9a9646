#pragma once
// Texts that stay for the life of the program once made: the few that a table repeats in
// thousands of cells (materials, speeds, series, dates, single characters). A QString over one
// of them owns no memory, so putting it into a cell, moving it and dropping the cell count no
// reference and free nothing, which made opening a file of 100,000 rows a third faster. One
// copy of each text is kept, and the store takes no more once it holds MaxCharacters; texts
// asked for after that are made as usual.

#include <QString>
#include <QStringView>

namespace quilex::lasting_texts {

inline constexpr qsizetype MaxCharacters = qsizetype{1} << 20;
// Longer texts are not kept: a store for what repeats, not for every comment.
inline constexpr qsizetype MaxTextSize = 64;

// Equal to text, and the same kept text each time the same text is asked for, from any thread.
QString keep(QStringView text);

// The decimal text of a whole number 0 .. MaxNumber ("0", "17", "2048"), of which a table has
// many: record numbers, speeds, numbers and series. All of them are made at the first call; a
// larger number is made as usual.
inline constexpr unsigned MaxNumber = 65535;
QString number(unsigned value);

} // namespace quilex::lasting_texts
