#pragma once
// The chart of an archive as a picture for a report's page: the chart window's chart (thickness
// against record number, a colour per series, the limits as lines), drawn into the place the
// report keeps for it.

#include "export/history_report.h"
#include "export/report_document.h"
#include "table/archive_values.h"
#include "table/thickness_limits.h"

#include <span>

namespace quilex {

// The rows must outlive the painter (the report's table does).
PicturePainter readingsChartPicture(std::span<const ArchiveValues> rows, const TableLimits& limits, int languageIndex);

// The trend of a history's location (trend_chart.h) as a picture for the history's report,
// drawn as lines and text, sharp at any size. The measurements, the settings and the rates must
// outlive the painter (the report's do).
HistoryReport::TrendPainter trendPicture(std::span<const LocationMeasurements> measurements,
                                         const HistorySettings& settings, std::span<const LocationRates> rates,
                                         int languageIndex, const QLocale& locale);

} // namespace quilex
