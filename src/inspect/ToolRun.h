// Runs an inspection tool.
#pragma once

#include "tools/ChildProcess.h"

#include <QByteArray>

// Runs an inspection tool and returns its standard output when it exits with status 0.
// Throws PlatformError when it does not start, MKVInspectorError::failed with the tool's
// exit message otherwise.
QByteArray runTool(const QString &program, const QStringList &arguments,
                   const StopFlag *stop = nullptr);
