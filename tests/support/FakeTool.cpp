// Writing fake tool scripts, and the script pieces the tests share.
#include "FakeTool.h"

#include "TestMedia.h"

#include <QFile>
#include <QTest>

const QByteArray fakeMkvmergePrelude =
    R"sh(case "$1" in @*) ;; *) exec /usr/bin/mkvmerge "$@" ;; esac
options="${1#@}"
output=$(sed 's/^\["--output","\([^"]*\)".*/\1/' "$options")
)sh";

const QByteArray hangingToolBody =
    R"sh(echo $$ > "$0.pid.tmp"; mv "$0.pid.tmp" "$0.pid"; exec sleep 600)sh";

QString writeFakeTool(const QString &path, const QByteArray &body)
{
    writeTestFile(path, body.startsWith("#!") ? body : "#!/bin/sh\n" + body + '\n');
    if (!QFile::setPermissions(path, QFile::permissions(path) | QFile::ExeOwner))
        qFatal("cannot make %s executable", qPrintable(path));
    return path;
}

pid_t hangingToolProcess(const QString &path)
{
    QFile pidFile(path + QStringLiteral(".pid"));
    if (!QTest::qWaitFor([&] { return pidFile.exists(); }, 10000) ||
        !pidFile.open(QIODevice::ReadOnly))
        return 0;
    return pid_t(pidFile.readAll().trimmed().toInt());
}
