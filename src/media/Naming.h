// File names: the episode number in one, the pair's label and output name.
#pragma once

#include "EpisodePair.h"

#include <optional>

// The episode number in a file name (without its extension), e.g. "Show.S01E02.720p".
std::optional<EpisodeID> parseEpisodeID(const QString &name);

// "S01E02", or "Einzeldatei" for a pair without episode number.
QString episodeLabel(const EpisodePair &pair);

// The name the pair's output file gets in the output folder (no folder).
QString outputFileName(const EpisodePair &pair);

// Replaces characters that common file systems reject and avoids reserved device names.
QString sanitizeFileName(const QString &name);
