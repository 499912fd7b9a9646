#pragma once
// Texts of the survey history: the messages of a history that cannot be used, the add's
// summary, the headers of its tables, and the messages about what the user typed.

#include "base/texts.h"
#include "history/rates.h"

#include <QStringList>

namespace quilex::history_texts {

// %1 is the file's name throughout; the file is never changed when one of these is told.
extern const TextPair NoSuchHistory;
extern const TextPair NotAHistory;
extern const TextPair ForeignDatabase;
extern const TextPair NewerHistory;    // %2 the file's schema version, %3 the one this program knows
extern const TextPair DamagedHistory;  // %2 what is wrong
extern const TextPair BusyHistory;     // %2 seconds waited
extern const TextPair CannotReadHistory;  // %2 why
extern const TextPair CannotWriteHistory; // %2 why
extern const TextPair HistoryExists;
extern const TextPair CannotCreateHistory; // %2 why
extern const TextPair NoSuchSurvey;        // %1 the survey's number

// "added N, already present M, skipped K".
extern const TextPair AddSummary;
extern const TextPair DryRunNote;

// What the user typed.
extern const TextPair BadLocation;    // %1 the text
extern const TextPair BadDate;        // %1 the option or word, %2 the text
extern const TextPair BadThickness;   // %1 the option, %2 the text
extern const TextPair BadWholeNumber; // %1 the option, %2 lowest, %3 highest, %4 the text
extern const TextPair BadSeries;      // %1 the text
extern const TextPair BadCode;        // %1 the text
extern const TextPair BadClass;       // %1 the text
extern const TextPair ClassOnlyApi570;
extern const TextPair ObjectNeeded;
extern const TextPair BadRate;        // %1 the text
extern const TextPair BadMark;        // %1 the text
extern const TextPair NameOfAll;
extern const TextPair NoReadingThatDay; // %1 the location, %2 the date
extern const TextPair CannotReadTable;  // %1 the table's message
extern const TextPair TooFewArguments;
extern const TextPair TooManyArguments;
extern const TextPair SubcommandNeeded;
extern const TextPair UnknownSubcommand; // %1 the word
extern const TextPair NoSuchLocation;    // %1 the location
extern const TextPair PictureNeeded;
extern const TextPair BadPictureSize;
extern const TextPair CannotWritePicture; // %1 the file, %2 why

// The word for the defaults' row of "group all".
extern const TextPair AllGroups;

// Table headers in a language (1 English, else Russian).
QStringList ratesHeader(int languageIndex);
QStringList readingsHeader(int languageIndex);
QStringList surveysHeader(int languageIndex);
QStringList groupHeader(int languageIndex);
// A status as a person reads it, in the window and the report ("красный" / "red"); the files
// that programs read ("history rates") keep the words red, amber, grey and green.
QString statusWord(Status status, int languageIndex);
QStringList locationHeader(int languageIndex);

} // namespace quilex::history_texts
