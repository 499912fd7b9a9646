#pragma once
// Texts of the history window and of the main window's history commands.

#include "base/texts.h"

namespace quilex::history_window_texts {

// The main window's menu.
extern const TextPair HistoryMenu;
extern const TextPair CreateHistoryCommand;
extern const TextPair OpenHistoryCommand;
extern const TextPair AddTableCommand;
extern const TextPair HistoryWindowCommand;

// Making a new history.
extern const TextPair NewHistoryCaption;
extern const TextPair ObjectLabel;
extern const TextPair CodeLabel;
extern const TextPair ClassLabel;
extern const TextPair HistoryFilter;
extern const TextPair NoHistoryOpen;
extern const TextPair TableAdded;     // %1 the add's summary, %2 the history's file
extern const TextPair NothingToAdd;   // the table is empty
extern const TextPair HistoryOpened;  // %1 the file

// The window.
extern const TextPair WindowCaption;   // %1 the file's name
extern const TextPair NoHistoryCaption;
extern const TextPair LocationsTab;
extern const TextPair GroupsTab;
extern const TextPair SurveysTab;
extern const TextPair StatusFilterLabel;
extern const TextPair AnyStatus;
extern const TextPair GroupFilterLabel;
extern const TextPair AnyGroup;
extern const TextPair AsOfLabel;
extern const TextPair RateLabel;
extern const TextPair RateLarger;
extern const TextPair RateLongTerm;
extern const TextPair RateShortTerm;
extern const TextPair UndoButton;
extern const TextPair RedoButton;
extern const TextPair ShownCount;   // %1 shown, %2 in all
extern const TextPair DescriptionColumn;
extern const TextPair OwnRequiredColumn;
extern const TextPair RenewedColumn;
extern const TextPair LocationsColumn;
extern const TextPair StatusColumn;
extern const TextPair NextInspectionColumn;
extern const TextPair ChooseLocation;

// The readings of the selected location, and their marks.
extern const TextPair ReadingDateColumn;
extern const TextPair ReadingThicknessColumn;
extern const TextPair ReadingCountsColumn;
extern const TextPair ReadingMarkColumn;
extern const TextPair Counted;
extern const TextPair LeftOut;
extern const TextPair MarkVerifiedButton;
extern const TextPair MarkIgnoredButton;
extern const TextPair ClearMarkButton;
extern const TextPair VerifiedWord;
extern const TextPair IgnoredWord;

// The grid's colour map.
extern const TextPair MapLabel;
extern const TextPair MapLastThickness;
extern const TextPair MapLoss;
extern const TextPair MapRate;
extern const TextPair MapNoGrid;   // %1 the group
extern const TextPair MapScaleThinRed; // %1 lowest, %2 highest, %3 the unit
extern const TextPair MapScaleHighRed;
extern const TextPair MillimetreUnit;
extern const TextPair RateUnit;

// Undo steps, %1 what was edited.
extern const TextPair EditGroupStep;
extern const TextPair EditDefaultsStep;
extern const TextPair EditLocationStep;
extern const TextPair EditSurveyStep;
extern const TextPair MarkStep;
extern const TextPair BadThicknessInput;  // %1 the text
extern const TextPair BadNumberInput;     // %1 lowest, %2 highest, %3 the text
extern const TextPair BadDateInput;       // %1 the text
extern const TextPair NameOfDefaults;

} // namespace quilex::history_window_texts
