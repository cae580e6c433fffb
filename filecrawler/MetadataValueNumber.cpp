#include "filecrawler/MetadataValueNumber.h"

#include "filecrawler/private/PathValueScanner.h"

#include <cstdlib>
#include <locale.h>
#include <new>
#include <string>

namespace {

// The "C" locale, whose decimal point is '.' whatever the process set.
locale_t cLocale()
{
    static locale_t const locale = newlocale(LC_ALL_MASK, "C", locale_t(0));
    if (locale == locale_t(0))
        throw std::bad_alloc();
    return locale;
}

} // namespace

std::optional<double> metadataValueNumber(std::string_view text)
{
    std::size_t end = 0;
    if (!pathvalue::findNumericValueEnd(text, 0, end) || end != text.size())
        return std::nullopt;
    // strtod reads the same grammar with E for the exponent, and gives the
    // nearest double also out of range (from_chars gives nothing there).
    std::string written(text);
    for (char& c : written)
        if (c == 'D' || c == 'd')
            c = 'e';
    char* stop = nullptr;
    double const value = strtod_l(written.c_str(), &stop, cLocale());
    if (stop != written.c_str() + written.size())
        return std::nullopt;
    return value;
}
