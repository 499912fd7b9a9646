#pragma once
// The chart of an archive as a picture for a report's page: the chart window's chart (thickness
// against record number, a colour per series, the limits as lines), drawn into the place the
// report keeps for it.

#include "export/report_document.h"
#include "table/archive_values.h"
#include "table/thickness_limits.h"

#include <span>

namespace quilex {

// The rows must outlive the painter (the report's table does).
PicturePainter readingsChartPicture(std::span<const ArchiveValues> rows, const TableLimits& limits, int languageIndex);

} // namespace quilex
