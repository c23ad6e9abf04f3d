// Whether an external subtitle file can go into a mux.
#pragma once

#include <QFuture>
#include <QUrl>

class MKVInspector;

enum class SidecarVerdict {
    usable,      // one subtitle track
    unreadable,  // anything else: no text, no track, other tracks, a file the tool rejects
    unchecked,   // no tool to identify it with
    notPrepared, // unmarked UTF-16 whose marked copy could not be written: not the file's fault
};

// Whether the external subtitle file `sidecar` can go into a mux: identified with
// `inspector`, it must hold exactly one track, a subtitle track, since the mux labels its
// track 0 and reads nothing else from it. Unmarked UTF-16 text is identified as a marked copy.
SidecarVerdict checkSidecar(const MKVInspector &inspector, const QUrl &sidecar);

// Runs `checkSidecar` on the inspector's worker thread, in turn with its inspections.
QFuture<SidecarVerdict> checkSidecarAsync(MKVInspector &inspector, const QUrl &sidecar);
