#pragma once
// The C library formats and reads numbers in the process's locale, which the toolkit takes from
// the environment: under ru_RU a library that writes 12.5 with printf writes "12,5". Files must
// not depend on that, so whatever writes a file through such a library does it inside one of
// these: the calling thread (and only it) uses C's numbers until the guard goes, everything else
// of the locale stays.

#include <clocale>
#include <locale.h>

namespace quilex {

class CNumericLocale {
public:
    CNumericLocale()
    {
        locale_t current = ::uselocale(locale_t(0));
        locale_t base = ::duplocale(current);
        cNumbers_ = base ? ::newlocale(LC_NUMERIC_MASK, "C", base) : locale_t(0);
        if (!cNumbers_ && base)
            ::freelocale(base);
        if (cNumbers_)
            previous_ = ::uselocale(cNumbers_);
    }
    ~CNumericLocale()
    {
        if (cNumbers_) {
            ::uselocale(previous_);
            ::freelocale(cNumbers_);
        }
    }
    CNumericLocale(const CNumericLocale&) = delete;
    CNumericLocale& operator=(const CNumericLocale&) = delete;

private:
    locale_t cNumbers_ = locale_t(0);
    locale_t previous_ = locale_t(0);
};

} // namespace quilex
