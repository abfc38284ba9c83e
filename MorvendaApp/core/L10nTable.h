// The compiled-in table behind L10n: key and English default, in one array.
#pragma once

#include <cstddef>

namespace L10n::detail {

struct Entry
{
    const char *key;
    const char *english;
};

extern const Entry kEntries[];
extern const std::size_t kEntryCount;

} // namespace L10n::detail
