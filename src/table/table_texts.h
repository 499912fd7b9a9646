#pragma once
// The messages of the table's files and sort, in both languages: what went wrong reading or
// writing a project file or its limits, a text table that is neither, a sort that cannot read a
// cell. Each is chosen by the language index through Text() where it is made.

#include "base/texts.h"

namespace quilex::table_texts {

// A project that could not be opened or saved; %1 the file, %2 what went wrong.
extern const TextPair ProjectNotOpened;
extern const TextPair ProjectNotSaved;
// What went wrong.
extern const TextPair NotAProjectFile;      // the counts at its head say no table that fits it
extern const TextPair FileEndsAtCell;       // %1, %2: the cell's column and row
extern const TextPair CellNegativeLength;   // %1, %2: column and row, %3 the length
extern const TextPair CellRunsPastEnd;      // %1, %2: column and row, %3 the length
extern const TextPair FileTooLarge;         // %1: bytes
extern const TextPair NoWindows1251;
extern const TextPair NotARegularFile;
extern const TextPair CannotOpenFile;       // %1: the system's reason
extern const TextPair ReadingFailed;        // %1
extern const TextPair CannotCreateFile;     // %1
extern const TextPair WritingFailed;        // %1
extern const TextPair TableTooLarge;

// The limits after a project's cells, damaged: %1 what is wrong. The cells open all the same.
extern const TextPair LimitsDamaged;
extern const TextPair LimitsNotRead; // %1 the file, %2 what is wrong: told after opening
extern const TextPair LimitsRecordEndsEarly;
extern const TextPair LimitsUnknownVersion;   // %1
extern const TextPair LimitsLengthMismatch;   // %1
extern const TextPair LimitsEntriesDoNotFit;  // %1 entries, %2 length
extern const TextPair LimitsWrongChecksum;
extern const TextPair LimitsEntryMakesNoSense; // %1
// The report's title block after a project's cells, damaged: %1 what is wrong.
extern const TextPair TitleDamaged;
extern const TextPair TitleUnknownVersion;
extern const TextPair TitleLengthMismatch;
extern const TextPair TitleNotRead; // %1 the file, %2 what is wrong: told after opening

// A text table: %1 the file, %2 the reason.
extern const TextPair TextNotRead;
extern const TextPair TextNotWritten;
extern const TextPair QuoteNotClosed;
// A file that is neither a project file nor a table written as text; %1 the file.
extern const TextPair NeitherProjectNorText;
extern const TextPair CannotWriteStandardOutput;
extern const TextPair StatisticsSheet;    // the workbook's sheet of statistics
extern const TextPair OnlyWritten;        // %1 the file: a format that is written, not read
extern const TextPair ReportNeedsDisplay; // a printed report laid out with no fonts to lay it out

// A header click that met a cell it cannot sort: %1 the column's name, %2 the row, %3 the text.
extern const TextPair CannotSortWholeNumber;
extern const TextPair CannotSortThickness;

} // namespace quilex::table_texts
