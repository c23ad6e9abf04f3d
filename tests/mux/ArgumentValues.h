// The values an option takes in an argument list, for tests that read mkvmerge's command.
#pragma once

#include <QStringList>

// Every value of `option`, in order.
inline QStringList valuesOf(const QStringList &arguments, const QString &option)
{
    QStringList values;
    for (qsizetype i = 0; i + 1 < arguments.size(); ++i) {
        if (arguments.at(i) == option)
            values << arguments.at(i + 1);
    }
    return values;
}
