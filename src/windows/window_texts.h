#pragma once
// Texts of the auxiliary windows: material settings, screenshot and about box.

#include "base/texts.h"

#include <array>

namespace quilex::window_texts {

// Material settings
extern const TextPair MaterialsCaption;
extern const TextPair MaterialsHeaderNumber;
extern const TextPair MaterialsHeaderName;
extern const TextPair MaterialsHeaderSpeed;
extern const TextPair MaterialsLoadButton;
extern const TextPair DigitsOnlyMessage;
extern const TextPair DigitsOnlyCaption;
// The main window's warnings: something was done, and something else could not be.
extern const TextPair WarningCaption;
// The question when the dialog is closed with edits that were never loaded into the gauge
// (captioned as the window, its first answer the load button's text).
extern const TextPair UnloadedEditsQuestion;
extern const TextPair DiscardEditsButton;
extern const TextPair KeepEditingButton;

// Screenshot window
extern const TextPair ScreenshotCaption;
extern const TextPair ScreenshotUpdateButton;
extern const TextPair SaveToFileCheck;
extern const TextPair SaveToClipboardCheck;
extern const TextPair PenColourLabel;
extern const TextPair BackgroundColourLabel;
extern const TextPair ScreenshotNotRead;
extern const TextPair ScreenshotNotReadCaption;
// %1 is the file's path.
extern const TextPair PictureNotSaved;

// About box. The spaces at the ends belong to the texts.
extern const TextPair AboutCaption;
extern const TextPair ProductNameText;
extern const TextPair VersionPrefix;
extern const TextPair DateJoiner;
extern const TextPair PhonesCaption;
extern const TextPair MultichannelNote;
extern const TextPair YearSuffix;
// Russian in the genitive, January first.
extern const std::array<TextPair, 12> MonthNames;
extern const std::array<const char*, 12> MonthAbbreviations;
// How the build date ("Mar 13 2012") splits into month, day and year.
extern const char* const BuildDatePattern;
extern const TextPair WebPageHint;
// Single-form texts: the e-mail link's hint and the captions the box is designed with,
// which stay when the build date cannot be read.
extern const char16_t* const EMailHint;
extern const char16_t* const PhonesCaptionDesign;
extern const char16_t* const MultichannelNoteDesign;

} // namespace quilex::window_texts

namespace quilex::window_texts {

// The colours of the screenshot window's two colour boxes, with their names.
struct NamedColour {
    unsigned rgb;
    TextPair name;
};
extern const std::array<NamedColour, 20> ScreenColours;

} // namespace quilex::window_texts
