#pragma once
// The texts of the inspection report and the history report, Russian and English: the
// titles, the labels of the title blocks, the section headings and column headers, and the
// page numbers. The title-block dialog shows the same labels the report prints.

#include "base/texts.h"

namespace quilex::report_texts {

// Page furniture.
extern const TextPair PageOf; // %1 this page, %2 the pages

// The inspection report of a table.
extern const TextPair InspectionTitle;
extern const TextPair InspectionSubtitle;
extern const TextPair Object;
extern const TextPair Place;
extern const TextPair Operator;
extern const TextPair Gauge;
extern const TextPair Serial;
extern const TextPair Probe;
extern const TextPair Calibration;
extern const TextPair Couplant;
extern const TextPair Date;
extern const TextPair ReadingsPeriod;  // %1 readings, %2 first date, %3 last date
extern const TextPair ReadingsCount;   // %1 readings (no dates)
extern const TextPair Materials;
extern const TextPair SoundSpeedUnit;  // %1 speed
extern const TextPair LimitsHeading;
extern const TextPair NoLimits;
extern const TextPair LimitSeries;
extern const TextPair LimitNominal;
extern const TextPair LimitMinimum;
extern const TextPair StatisticsHeading;
extern const TextPair ChartHeading;
extern const TextPair ReadingsHeading;
extern const TextPair BelowMinimumNote; // %1 the word of the mark
extern const TextPair MarkColumn;
extern const TextPair BelowMinimumMark;
extern const TextPair NoReadings;
extern const TextPair Signature;
extern const TextPair CannotWritePdf; // %1 the file, %2 why

// The title-block dialog.
extern const TextPair TitleDialogCaption;
extern const TextPair TitleDialogNote;
extern const TextPair PreviewButton;
extern const TextPair PdfButton;
extern const TextPair CancelButton;
extern const TextPair PdfFilter;

// The history report.
extern const TextPair HistoryTitle;
extern const TextPair Code;
extern const TextPair CodeWithClass; // %1 the code, %2 the class
extern const TextPair AsOf;
extern const TextPair RateRule;
extern const TextPair RateLarger;
extern const TextPair RateLongTerm;
extern const TextPair RateShortTerm;
extern const TextPair Surveys;
extern const TextPair SurveysSpan;   // %1 surveys, %2 first date, %3 last date
extern const TextPair SummaryHeading;
extern const TextPair ByStatusHeading;
extern const TextPair StatusColumn;
extern const TextPair LocationsColumn;
extern const TextPair Total;
extern const TextPair GroupsHeading;
extern const TextPair GroupName;
extern const TextPair NextInspection;
extern const TextPair WorstHeading;
extern const TextPair Location;
extern const TextPair Group;
extern const TextPair GroupHeading;      // %1 series, %2 name
extern const TextPair GroupHeadingPlain; // %1 series
extern const TextPair GroupLine;         // %1 nominal, %2 required, %3 status, %4 next inspection
extern const TextPair NotSet;
extern const TextPair TrendsHeading;
extern const TextPair SurveysHeading;
extern const TextPair NoLocations;
extern const TextPair LocationTrend; // %1 location, %2 status

// The workbook of a history: its first sheet's columns, and the rows of the summary.
extern const TextPair Item;
extern const TextPair Value;
extern const TextPair ClassItem;
extern const TextPair FirstSurvey;
extern const TextPair LastSurvey;
extern const TextPair LocationsItem;
extern const TextPair WorstStatus;
extern const TextPair Description;
extern const TextPair TooManyReadings; // %1 readings, %2 the most a sheet holds
extern const TextPair CannotWriteWorkbook; // %1 the file, %2 why
extern const TextPair ReportOutput;        // %1 the name given to history report -o

} // namespace quilex::report_texts
