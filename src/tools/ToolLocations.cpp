// The places each platform looks for the tools.
#include "ToolLocations.h"

#include <QCoreApplication>
#include <QDir>

ToolLocations ToolLocations::platformDefault()
{
    ToolLocations locations;
    const QString applicationDir = QCoreApplication::applicationDirPath();
#if defined(Q_OS_MACOS)
    locations.bundledMkvmerge = applicationDir + QStringLiteral("/mkvmerge");
    locations.mkvmergeCandidates = {
        QStringLiteral("/Applications/MKVToolNix.app/Contents/MacOS/mkvmerge"),
        QDir::homePath() + QStringLiteral("/Applications/MKVToolNix.app/Contents/MacOS/mkvmerge"),
        QStringLiteral("/opt/homebrew/bin/mkvmerge"),
        QStringLiteral("/usr/local/bin/mkvmerge"),
    };
    locations.ffprobeCandidates = {QStringLiteral("/opt/homebrew/bin/ffprobe"),
                                   QStringLiteral("/usr/local/bin/ffprobe")};
    locations.ffmpegCandidates = {QStringLiteral("/opt/homebrew/bin/ffmpeg"),
                                  QStringLiteral("/usr/local/bin/ffmpeg")};
#else
    locations.bundledMkvmerge =
        applicationDir + QStringLiteral("/../libexec/spurenflechter/mkvmerge");
    locations.mkvmergeCandidates = {QStringLiteral("/usr/local/bin/mkvmerge"),
                                    QStringLiteral("/usr/bin/mkvmerge")};
    locations.ffprobeCandidates = {QStringLiteral("/usr/local/bin/ffprobe"),
                                   QStringLiteral("/usr/bin/ffprobe")};
    locations.ffmpegCandidates = {QStringLiteral("/usr/local/bin/ffmpeg"),
                                  QStringLiteral("/usr/bin/ffmpeg")};
#endif
    locations.fileCommand = QStringLiteral("/usr/bin/file");

    // How `file` names an executable built for this machine.
#if defined(Q_OS_MACOS) && defined(Q_PROCESSOR_ARM_64)
    locations.architectureMarkers = {QStringLiteral("arm64")};
#elif defined(Q_OS_MACOS) && defined(Q_PROCESSOR_X86_64)
    locations.architectureMarkers = {QStringLiteral("x86_64")};
#elif defined(Q_PROCESSOR_X86_64)
    locations.architectureMarkers = {QStringLiteral("x86-64")};
#elif defined(Q_PROCESSOR_ARM_64)
    locations.architectureMarkers = {QStringLiteral("aarch64"), QStringLiteral("arm64")};
#endif
    return locations;
}
