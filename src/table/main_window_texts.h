#pragma once
// The main window's texts: its caption, menus, buttons, the archive table's headers and its
// messages, in the order the window's text table has always kept them, and the few captions
// that read the same in both languages.

#include "base/texts.h"

#include <array>
#include <cstddef>

namespace quilex {

// One name per pair, numbered from 0 in table order.
enum class MainText : std::size_t {
    WindowCaption, // main window caption
    FileMenu, // menu File1
    OpenFile, // not shown anywhere
    SaveInExcel, // menu Save1
    CreateProject, // menu Save2 (the English text begins with the Cyrillic capital Es, byte 0xD1)
    OpenProject, // menu Save3
    Print, // menu Print1
    Exit, // menu Exit1
    EditMenu, // menu Edit1
    CopyTable, // menu Copy1
    CopySelection, // menu Copy2
    HelpMenu, // menu Help1
    HelpContents, // menu Contents1
    About, // menu About1
    ReadArchive, // Button1
    MaterialSettings, // Button2
    HeaderMaterial, // header of column 1
    HeaderSoundSpeed, // header of column 2
    HeaderThickness, // header of column 3
    HeaderNumber, // header of column 4
    HeaderSeries, // header of column 5
    HeaderDate, // header of column 6; also the header that gets an extra tab in the whole-table copy
    HeaderTime, // header of column 7
    ArchiveTitle, // used by the spreadsheet export and, followed by further text, as the printed report's title; ends with a space
    ArchiveNotRead, // message when saving a project or exporting an empty table
    ErrorCaption, // caption of the main window's error message boxes
    ExportError, // spreadsheet export
    CannotOpenExcel, // spreadsheet export
    ExcelNotInstalled, // spreadsheet export
    TableEmpty, // message of the clipboard copy
};

inline constexpr std::size_t MainTextCount = 30;

// The pairs in table order; element n belongs to MainText n.
extern const std::array<TextPair, MainTextCount> MainWindowTexts;

const TextPair& mainWindowText(MainText id);
// The text in the language in use.
QString Text(MainText id);

// Texts beyond the window's table of pairs: what the window added around its first commands.
// The question before a table that was never saved is dropped.
extern const TextPair UnsavedTableQuestionText;
// A command that could not be carried out (a window that could not be made, a preview that
// failed); %1 is what went wrong. And the same when the memory ran out.
extern const TextPair CommandFailedText;
// The program stopped by an error that says nothing of itself.
extern const TextPair ProgramStoppedText;
extern const TextPair CommandOutOfMemoryText;
// The status bar under the table: what just happened. %1 is a file's name.
extern const TextPair SavedStatusText;
extern const TextPair OpenedStatusText;
extern const TextPair CancelledStatusText;
extern const TextPair WrittenToGaugeStatusText;
// "2048 записей прочитано" / "2048 records read", in the number's grammatical form.
QString recordsReadStatusText(int count, std::uint8_t languageIndex);
// The menu items of the statistics and the chart.
extern const TextPair StatisticsMenuText;
extern const TextPair ChartMenuText;
// Between the caption and the project file's name in the window's title.
inline constexpr char16_t CaptionFileSeparator[] = u" \u2014 ";

// Texts with a single form.
extern const char16_t* const LanguageMenuCaption;
extern const char16_t* const RussianMenuCaption;
extern const char16_t* const EnglishMenuCaption;
extern const char16_t* const ScreenshotMenuCaption;
extern const char16_t* const NumberHeaderText; // header of column 0
extern const char16_t* const ApplicationTitle;

} // namespace quilex
