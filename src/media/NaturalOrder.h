// Names sorted as a file browser sorts them.
#pragma once

#include <QString>

// The order a file browser shows names in: letters case-insensitive and by the user's locale,
// runs of digits by their numeric value ("Folge 2" before "Folge 10"). It holds in the C locale
// too, where Qt's collator on its own would ignore numbers.
// Negative, zero or positive as `a` sorts before, with or after `b`.
int naturalCompare(const QString &a, const QString &b);

inline bool naturalLess(const QString &a, const QString &b)
{
    return naturalCompare(a, b) < 0;
}
