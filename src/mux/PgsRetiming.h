// Bitmap subtitles (PGS) whose display sets follow the splices of the German audio.
#pragma once

#include "SubtitleRetiming.h"

#include <QByteArray>

#include <optional>

// PGS data (a .sup stream of segments: "PG", 90 kHz presentation and decoding times, type, size)
// with every display set moved by `map`. A set inside removed material is left out, except one
// that clears a kept picture, which then clears it where the stretch was.
// Absent when the data is no well-formed segment stream.
std::optional<QByteArray> retimedPgs(const QByteArray &data, const SubtitleTimeMap &map);
