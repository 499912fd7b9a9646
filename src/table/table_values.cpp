#include "table/table_values.h"

#include <algorithm>
#include <utility>

namespace quilex {

TableValues::TableValues(StringGrid& grid, const QLocale& locale) : grid_(grid), watched_(&grid), reader_(locale)
{
    watched_->setCompanion(this);
    allRowsChanged();
}

TableValues::TableValues(const StringGrid& grid, const QLocale& locale, Unwatched) : grid_(grid), reader_(locale)
{
    allRowsChanged();
}

TableValues::~TableValues()
{
    if (watched_ && watched_->companion() == this)
        watched_->setCompanion(nullptr);
}

void TableValues::allRowsChanged()
{
    const auto count = static_cast<std::size_t>(grid_.rowCount());
    values_.assign(count, ArchiveValues{});
    stale_.assign(count, 1);
    staleRows_ = static_cast<int>(count);
}

void TableValues::rowCountChanged(int count)
{
    const auto before = values_.size();
    const auto after = static_cast<std::size_t>(std::max(0, count));
    if (after < before) {
        staleRows_ -= static_cast<int>(std::count(stale_.begin() + std::ptrdiff_t(after), stale_.end(), 1));
    } else {
        // Rows that come back may hold texts from before they were cut off.
        staleRows_ += static_cast<int>(after - before);
    }
    values_.resize(after);
    stale_.resize(after, 1);
}

void TableValues::rowsChanged(int first, int last)
{
    const int end = std::min(last, static_cast<int>(values_.size()) - 1);
    for (int r = std::max(0, first); r <= end; ++r) {
        if (!stale_[std::size_t(r)]) {
            stale_[std::size_t(r)] = 1;
            ++staleRows_;
        }
    }
}

void TableValues::rowsExchanged(int a, int b)
{
    const int count = static_cast<int>(values_.size());
    if (a < 0 || b < 0 || a >= count || b >= count) {
        rowsChanged(a, a);
        rowsChanged(b, b);
        return;
    }
    std::swap(values_[std::size_t(a)], values_[std::size_t(b)]);
    std::swap(stale_[std::size_t(a)], stale_[std::size_t(b)]);
    for (int r : {a, b}) {
        ArchiveValues& v = values_[std::size_t(r)];
        v.row = r;
        // An exchange writes the empty cells of both rows as " ", which reads as no value just as
        // an empty cell does: only the texts kept here follow.
        if (v.record.isEmpty())
            v.record = QStringLiteral(" ");
        if (v.material.isEmpty() && grid_.colCount() > 1)
            v.material = QStringLiteral(" ");
    }
}

void TableValues::setRow(int r, ArchiveValues values)
{
    if (r < 0 || r >= static_cast<int>(values_.size()))
        return;
    values.row = r;
    values_[std::size_t(r)] = std::move(values);
    if (stale_[std::size_t(r)]) {
        stale_[std::size_t(r)] = 0;
        --staleRows_;
    }
}

void TableValues::readStale(int first, int last) const
{
    if (staleRows_ == 0)
        return;
    for (int r = first; r <= last; ++r) {
        if (!stale_[std::size_t(r)])
            continue;
        values_[std::size_t(r)] = reader_.row(grid_, r);
        stale_[std::size_t(r)] = 0;
        --staleRows_;
        ++rowsRead_;
    }
}

const ArchiveValues& TableValues::row(int r) const
{
    static const ArchiveValues none;
    if (r < 0 || r >= static_cast<int>(values_.size()))
        return none;
    readStale(r, r);
    return values_[std::size_t(r)];
}

std::span<const ArchiveValues> TableValues::dataRows() const
{
    if (grid_.isEmptyTable())
        return {};
    const int first = firstDataRow(grid_);
    const int last = static_cast<int>(values_.size()) - 1;
    if (first > last)
        return {};
    readStale(first, last);
    return std::span<const ArchiveValues>(values_).subspan(std::size_t(first));
}

} // namespace quilex
