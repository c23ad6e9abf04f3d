// Generating the soundtracks and releases of the sync tests with ffmpeg.
#include "SyncMedia.h"

#include "TestMedia.h"
#include "tools/ChildProcess.h"

#include <QTemporaryDir>

#include <functional>

#include <cmath>
#include <numbers>
#include <random>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString ffmpeg = u"/usr/bin/ffmpeg"_s;

// One sound: a tone with two overtones, or noise when the frequency is 0.
struct Sound {
    double start = 0; // film seconds
    double length = 0;
    double frequency = 0;
    double level = 0;
    double attack = 0.005; // seconds to full level
    double decay = 3;      // how far it fades over its length: 3 dies away, 1 is held
};

double uniform(std::mt19937 &random, double low, double high)
{
    return std::uniform_real_distribution<double>(low, high)(random);
}

// Short knocks, clicks and tones at irregular times, `gap` seconds apart at most.
std::vector<Sound> effects(std::mt19937 &random, double seconds, double minGap, double maxGap,
                           double level)
{
    std::vector<Sound> sounds;
    for (double t = uniform(random, 0, maxGap); t < seconds; t += uniform(random, minGap, maxGap)) {
        const bool noise = uniform(random, 0, 1) < 0.4;
        sounds.push_back({t, uniform(random, 0.04, 0.44), noise ? 0 : uniform(random, 100, 2100),
                          level * uniform(random, 0.25, 1)});
    }
    return sounds;
}

// Phrases of syllables with pauses between them.
std::vector<Sound> syllables(std::mt19937 &random, double seconds)
{
    std::vector<Sound> sounds;
    for (double t = uniform(random, 0.4, 2.5); t < seconds; t += uniform(random, 0.4, 2.5)) {
        for (const double end = t + uniform(random, 0.8, 3.0); t < end;
             t += uniform(random, 0.1, 0.3))
            sounds.push_back({t, uniform(random, 0.04, 0.24), uniform(random, 100, 400),
                              uniform(random, 0.1, 0.4)});
    }
    return sounds;
}

// Overlapping held notes that swell in slowly, as a score under a scene.
std::vector<Sound> notes(std::mt19937 &random, double seconds)
{
    std::vector<Sound> sounds;
    for (double t = uniform(random, 0, 1); t < seconds; t += uniform(random, 0.5, 2.0))
        sounds.push_back({t, uniform(random, 1.5, 4.0), 110 * std::pow(2, uniform(random, 0, 3)),
                          uniform(random, 0.08, 0.2), uniform(random, 0.05, 0.3), 1});
    return sounds;
}

void render(const std::vector<Sound> &sounds, std::vector<float> &mix, unsigned seed)
{
    std::minstd_rand noise(seed);
    std::uniform_real_distribution<float> sample(-1, 1);
    for (const Sound &sound : sounds) {
        const auto first = std::size_t(std::ceil(sound.start * soundtrackRate));
        const auto end =
            std::min(mix.size(), std::size_t((sound.start + sound.length) * soundtrackRate));
        for (std::size_t n = first; n < end; ++n) {
            const double t = double(n) / soundtrackRate - sound.start;
            const double phase = 2 * std::numbers::pi * sound.frequency * t;
            const double wave = sound.frequency > 0 ? std::sin(phase) + 0.5 * std::sin(2 * phase) +
                                                          0.25 * std::sin(3 * phase)
                                                    : sample(noise);
            mix[n] += float(sound.level * std::min(1.0, t / sound.attack) *
                            std::exp(-sound.decay * t / sound.length) * wave);
        }
    }
}

// Sentences of words drawn from a small vocabulary, read by espeak-ng with pauses between
// them, added to `mix` from its start.
bool addSpeech(std::mt19937 &random, Language language, std::vector<float> &mix)
{
    static const QStringList english =
        u"the house river light morning quickly never station captain window stone bright "
        u"winter people running under between dinner garden yellow"_s.split(u' ');
    static const QStringList german =
        u"das Haus Fluss Licht Morgen schnell niemals Bahnhof Kapitän Fenster Stein hell "
        u"Winter Leute laufen unter zwischen Abendessen Garten gelb"_s.split(u' ');
    const QStringList &words = language == Language::english ? english : german;
    QString text;
    const double seconds = double(mix.size()) / soundtrackRate;
    for (int sentence = 0; sentence < seconds / 2; ++sentence) {
        text += u"<s>"_s;
        for (int word = int(uniform(random, 3, 9)); word > 0; --word)
            text += words.at(qsizetype(uniform(random, 0, double(words.size())))) + u' ';
        text += u".</s><break time=\"%1ms\"/>"_s.arg(int(uniform(random, 300, 2500)));
    }
    QTemporaryDir dir;
    const QString wave = dir.filePath(u"speech.wav"_s);
    const auto voice = language == Language::english ? u"en"_s : u"de"_s;
    if (!runChild({u"/usr/bin/espeak-ng"_s, {u"-m"_s, u"-v"_s, voice, u"-w"_s, wave, text}})
             .succeeded())
        return false;
    const ChildOutcome decoded =
        runChild({ffmpeg, u"-nostdin -loglevel error -i %1 -ac 1 -ar %2 -f f32le -"_s.arg(wave)
                              .arg(soundtrackRate)
                              .split(u' ')});
    if (!decoded.succeeded())
        return false;
    const QByteArray &pcm = decoded.standardOutput;
    const auto *samples = reinterpret_cast<const float *>(pcm.constData());
    for (std::size_t n = 0; n < std::min(mix.size(), std::size_t(pcm.size() / 4)); ++n)
        mix[n] += 0.8f * samples[n];
    return true;
}

} // namespace

std::vector<float> makeSoundtrack(SoundFamily family, Language language, unsigned seed,
                                  double seconds, float roomTone)
{
    std::vector<float> mix(std::size_t(seconds * soundtrackRate), 0.0f);
    if (roomTone > 0) {
        // Noise smoothed below about 600 Hz, the same for both languages of a seed.
        std::minstd_rand noise(seed * 7919 + 1);
        std::uniform_real_distribution<float> sample(-1, 1);
        float smoothed = 0;
        for (float &value : mix) {
            smoothed += 0.4f * (sample(noise) - smoothed);
            value = 2 * roomTone * smoothed;
        }
    }
    std::mt19937 bed(seed), dialogue(seed + 1000003 * (1 + unsigned(language)));
    switch (family) {
    case SoundFamily::effects:
        render(effects(bed, seconds, 0.2, 2.0, 0.4), mix, seed);
        render(syllables(dialogue, seconds), mix, seed);
        break;
    case SoundFamily::speech:
        render(effects(bed, seconds, 0.2, 2.0, 0.25), mix, seed); // 10 dB below the speech
        if (!addSpeech(dialogue, language, mix))
            return {};
        break;
    case SoundFamily::music:
        render(notes(bed, seconds), mix, seed);
        render(effects(bed, seconds, 3, 8, 0.4), mix, seed);
        render(syllables(dialogue, seconds), mix, seed);
        break;
    }
    return mix;
}

namespace {

// Film time played at `time` of a release's own axis (after its stretch and delay), or the
// film time of the other material it plays there.
double filmTimeOf(double time, const QList<ReleaseEdit> &edits)
{
    for (const ReleaseEdit &edit : edits) {
        if (time < edit.atSeconds)
            break;
        if (edit.seconds > 0 && time < edit.atSeconds + edit.seconds)
            return time + 37.3; // material from elsewhere in the film
        time -= edit.seconds;
    }
    return time;
}

QString writePcm(const QString &path, const QByteArray &pcm, const QStringList &encoding)
{
    const QTemporaryDir dir;
    const QString raw = writeTestFile(dir.filePath(u"release.raw"_s), pcm);
    const ChildOutcome written = runChild(
        {ffmpeg,
         u"-nostdin -loglevel error -y -f s16le -ar %1 -ac 1 -i"_s.arg(soundtrackRate).split(u' ')
             << raw << encoding << path});
    return written.succeeded() ? QString() : u"ffmpeg could not write "_s + path;
}

// Writes the release whose sample n plays the film at `filmTime(n)` (negative: silence).
QString writeSamples(const QString &path, const std::vector<float> &soundtrack, double fileSeconds,
                     const QStringList &encoding, const std::function<double(qsizetype)> &filmTime)
{
    // Linear interpolation is crude for sound, but keeps every event where the timing puts it.
    QByteArray pcm(qsizetype(fileSeconds * soundtrackRate) * 2, Qt::Uninitialized);
    auto *samples = reinterpret_cast<qint16 *>(pcm.data());
    for (qsizetype n = 0; n < pcm.size() / 2; ++n) {
        const double film = filmTime(n);
        const double position = film * soundtrackRate;
        const auto index = std::size_t(std::max(0.0, std::floor(position)));
        float value = 0;
        if (position >= 0 && index + 1 < soundtrack.size()) {
            const auto fraction = float(position - double(index));
            value = soundtrack[index] * (1 - fraction) + soundtrack[index + 1] * fraction;
        }
        samples[n] = qint16(std::clamp(value, -1.0f, 1.0f) * 32767);
    }
    return writePcm(path, pcm, encoding);
}

} // namespace

QString writeRelease(const QString &path, const std::vector<float> &soundtrack,
                     const ReleaseTiming &timing, double fileSeconds, const QStringList &encoding)
{
    return writeSamples(path, soundtrack, fileSeconds, encoding, [&](qsizetype n) {
        const double film = double(n) / soundtrackRate * timing.stretch - timing.lateSeconds;
        if (timing.extraSeconds > 0 && film >= timing.cutAt)
            return film < timing.cutAt + timing.extraSeconds ? -1 : film - timing.extraSeconds;
        return film;
    });
}

QString writeEditedRelease(const QString &path, const std::vector<float> &soundtrack,
                           double stretch, double lateSeconds, const QList<ReleaseEdit> &edits,
                           double fileSeconds, const QStringList &encoding)
{
    return writeSamples(path, soundtrack, fileSeconds, encoding, [&](qsizetype n) {
        return filmTimeOf(double(n) / soundtrackRate * stretch - lateSeconds, edits);
    });
}
