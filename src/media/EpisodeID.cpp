// The "S01E02" text of an episode number.
#include "EpisodeID.h"

QString EpisodeID::description() const
{
    return QString::asprintf("S%02lldE%02lld", static_cast<long long>(season),
                             static_cast<long long>(episode));
}
