// The model's analysis of real folders, and an analysis or a release during a mux run.
#include "inspect/MKVInspector.h"
#include "model/AppModel.h"
#include "subtitles/SubtitleDuplicates.h"
#include "support/FakeTool.h"
#include "support/ModelRuns.h"
#include "support/TestInspection.h"
#include "support/TestMedia.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

const QString sidecarCue = u"1\n00:00:00,000 --> 00:00:01,000\nGrüße\n"_s;
const TestMediaLayout english{2.0, {{u"eng"_s}}}, german{2.0, {{u"ger"_s}}};

// Every notification of the model, in order.
struct NotificationLog {
    explicit NotificationLog(AppModel &model)
    {
        const auto record = [&](auto signal, const QString &name) {
            QObject::connect(&model, signal, &model, [this, name] { names << name; });
        };
        record(&AppModel::pairsChanged, u"pairs"_s);
        record(&AppModel::inspectionsChanged, u"inspections"_s);
        record(&AppModel::issuesChanged, u"issues"_s);
        record(&AppModel::isAnalyzingChanged, u"isAnalyzing"_s);
    }
    QStringList names;
};

} // namespace

class AppModelTest final : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_media;
    QString m_primary;   // folder 1
    QString m_localized; // folder 2
    QString m_temporary; // the temporary directory the model sees

    // What the program left in the temporary directory.
    QStringList leftovers() const
    {
        return QDir(m_temporary).entryList({u"Spurenflechter*"_s}, QDir::AllEntries | QDir::Hidden);
    }

    // A model on the new folders "1" and "2" of `run`, muxing into "out": "1" holds S01E01 in
    // English, "2" S01E01 in German, and `more` (paths in `run`) is made beside them. A
    // `mkvmerge` script, written to "mkvmerge" in `run`, stands in for the tool.
    static std::unique_ptr<AppModel>
    modelOnNewFolders(const QTemporaryDir &run,
                      const QList<std::pair<QString, TestMediaLayout>> &more = {},
                      const QByteArray &mkvmerge = {})
    {
        ToolLocations tools = ToolLocations::platformDefault();
        if (!mkvmerge.isEmpty())
            tools.bundledMkvmerge = writeFakeTool(run.filePath(u"mkvmerge"_s), mkvmerge);
        for (const QString &folder : {u"1"_s, u"2"_s, u"out"_s})
            QDir(run.path()).mkpath(folder);
        for (const auto &[path, layout] :
             QList{std::pair(u"1/S01E01.mkv"_s, english), std::pair(u"2/S01E01.mkv"_s, german)} +
                 more) {
            QDir().mkpath(QFileInfo(run.filePath(path)).path());
            if (const QString failure = makeTestMatroska(run.filePath(path), layout);
                !failure.isEmpty())
                qFatal("%s", qPrintable(failure));
        }
        auto model = modelFor(run.filePath(u"1"_s), run.filePath(u"2"_s), std::move(tools));
        model->setOutputFolder(QUrl::fromLocalFile(run.filePath(u"out"_s)));
        return model;
    }

private slots:
    void initTestCase()
    {
        m_temporary = m_media.filePath(u"tmp"_s);
        QVERIFY(QDir().mkpath(m_temporary));
        qputenv("TMPDIR", QFile::encodeName(m_temporary));
        m_primary = m_media.filePath(u"Ordner 1"_s);
        m_localized = m_media.filePath(u"Ordner 2"_s);
        QVERIFY(QDir().mkpath(m_primary) && QDir().mkpath(m_localized));
        for (const auto &[path, layout] : {std::pair(m_primary + u"/S01E01.mkv"_s, english),
                                           std::pair(m_localized + u"/S01E01.mkv"_s, german),
                                           std::pair(m_localized + u"/S01E02.mkv"_s, german),
                                           std::pair(m_localized + u"/S01E03.mkv"_s, german)})
            QCOMPARE(makeTestMatroska(path, layout), QString());
        QVERIFY(writeTestSubtitle(m_localized + u"/S01E01.de.srt"_s));
        writeTestFile(m_primary + u"/S01E02.mkv"_s, "kein Film\n"); // not Matroska at all
    }

    void analysisOfRealFolders()
    {
        const auto model = modelFor(m_primary, m_localized);
        NotificationLog log(*model);
        QVERIFY(runAnalysis(*model));

        // Every file of every pair is inspected, the one without a partner included; the one
        // that fails is not stored.
        QStringList inspected;
        for (const QUrl &file : model->inspections().keys())
            inspected << QDir(m_media.path()).relativeFilePath(file.toLocalFile());
        inspected.sort();
        QCOMPARE(inspected, (QStringList{u"Ordner 1/S01E01.mkv"_s, u"Ordner 2/S01E01.mkv"_s,
                                         u"Ordner 2/S01E02.mkv"_s, u"Ordner 2/S01E03.mkv"_s}));

        // The run starts, pairs arrive before any inspection, each stored inspection and each
        // appended issue is one change, the pair rules' findings follow the failed
        // inspection, and the run ends.
        QCOMPARE(log.names, (QStringList{u"isAnalyzing"_s, u"pairs"_s, u"inspections"_s,
                                         u"inspections"_s, u"issues"_s, u"inspections"_s,
                                         u"inspections"_s, u"issues"_s, u"isAnalyzing"_s}));

        // A second run starts from empty lists; unchanged pairs do not notify again.
        log.names.clear();
        QVERIFY(runAnalysis(*model));
        QCOMPARE(log.names.mid(0, 4),
                 (QStringList{u"isAnalyzing"_s, u"inspections"_s, u"issues"_s, u"inspections"_s}));

        // Without tools every file fails; the sidecar is not blamed.
        const auto withoutTools = modelFor(m_primary, m_localized, ToolLocations{});
        QVERIFY(runAnalysis(*withoutTools));
        QCOMPARE(withoutTools->issues().size(), 5);
        QCOMPARE(withoutTools->issues().first().message,
                 u"S01E01.mkv: mkvmerge wurde nicht gefunden."_s);
        QVERIFY(withoutTools->inspections().isEmpty());
    }

    // A German sidecar that is not one subtitle track is left out with a warning, and the
    // pair is muxed without it; the output never gains a track the sidecar did not hold.
    void sidecarContents_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<bool>("kept"); // else left out with a warning

        const auto unmarked = [&](QStringConverter::Encoding encoding) {
            return QByteArray(QStringEncoder(encoding)(sidecarCue));
        };
        QByteArray noise(4000, Qt::Uninitialized);
        QRandomGenerator(14).fillRange(reinterpret_cast<quint32 *>(noise.data()), 1000);
        QTest::newRow("UTF-16 LE without byte-order mark")
            << unmarked(QStringConverter::Utf16LE) << true;
        QTest::newRow("UTF-16 BE without byte-order mark")
            << unmarked(QStringConverter::Utf16BE) << true;
        QTest::newRow("random bytes") << noise << false;
        QFile video(m_localized + u"/S01E01.mkv"_s);
        QVERIFY(video.open(QIODevice::ReadOnly));
        QTest::newRow("a video named like a subtitle") << video.readAll() << false;
    }
    void sidecarContents()
    {
        QFETCH(QByteArray, contents);
        QFETCH(bool, kept);
        QTemporaryDir run;
        const auto model = modelOnNewFolders(run);
        const QString sidecar = writeTestFile(run.filePath(u"2/S01E01.de.srt"_s), contents);
        QVERIFY(runAnalysis(*model));
        QCOMPARE(model->pairs().at(0).localized->sidecarSubtitles,
                 kept ? QList{QUrl::fromLocalFile(sidecar)} : QList<QUrl>());
        QCOMPARE(issueTexts(model->issues())
                     .contains(u"1 S01E01.de.srt: Die Untertiteldatei ist unlesbar und wird "
                               u"übersprungen."_s),
                 !kept);

        QVERIFY(runMux(*model));
        QCOMPARE(issueTexts(model->issues()).last(), u"0 S01E01: Erstellt: S01E01.mkv"_s);
        const QUrl output = QUrl::fromLocalFile(run.filePath(u"out/S01E01.mkv"_s));
        const MediaInspection muxed = MKVInspector().inspect(output);
        QCOMPARE(muxed.tracks.size(), kept ? 4 : 3); // video, two audio tracks, the sidecar
        if (kept) // the text arrives as it was written, whatever its encoding
            QCOMPARE(extractSubtitleText(muxed.tracks.last(),
                                         QUrl::fromLocalFile(u"/usr/bin/mkvextract"_s), output),
                     normalizeSubtitleText(sidecarCue.toUtf8()));
        QCOMPARE(leftovers(), QStringList());
    }

    // An analysis of another folder 1 started while the first of three pairs muxes, its
    // inspections held until the second pair has started: the run muxes what it started with,
    // and its later messages follow the new analysis' findings.
    void analysisDuringAMuxRun()
    {
        QTemporaryDir run;
        // Once "hold" exists an identification waits for "release"; a mux after the release
        // waits for "analysed".
        const auto model = modelOnNewFolders(run,
                                             {{u"1/S01E02.mkv"_s, english},
                                              {u"2/S01E02.mkv"_s, german},
                                              {u"1/S01E03.mkv"_s, english},
                                              {u"2/S01E03.mkv"_s, german},
                                              {u"other/S02E01.mkv"_s, english}},
                                             R"sh(gate="$0"
case "$1" in
@*) if [ -e "$gate.release" ]; then
        until [ -e "$gate.analysed" ]; do sleep 0.05; done
    fi ;;
*) if [ -e "$gate.hold" ]; then
       until [ -e "$gate.release" ]; do sleep 0.05; done
   fi ;;
esac
exec /usr/bin/mkvmerge "$@")sh");
        QVERIFY(runAnalysis(*model));
        const QString gate = run.filePath(u"mkvmerge"_s);
        const auto touch = [](const QString &path) { QFile(path).open(QIODevice::WriteOnly); };
        connect(model.get(), &AppModel::muxProgressChanged, this, [&] {
            if (model->muxProgress() == u"S01E01 (1 von 3)") {
                touch(gate + u".hold"_s);
                model->setPrimaryFolder(QUrl::fromLocalFile(run.filePath(u"other"_s)));
                model->analyze();
            } else if (model->muxProgress() == u"S01E02 (2 von 3)") {
                QVERIFY(model->isAnalyzing());
                touch(gate + u".release"_s);
            }
        });
        qsizetype analysisEnd = -1;
        connect(model.get(), &AppModel::analysisFinished, this, [&] {
            analysisEnd = model->issues().size();
            touch(gate + u".analysed"_s);
        });
        QVERIFY(runMux(*model));

        QCOMPARE(model->pairs().size(), 4); // the new analysis' pairs
        const QStringList issues = issueTexts(model->issues());
        QCOMPARE(issues.first(), u"0 S01E01: Erstellt: S01E01.mkv"_s);
        QVERIFY(analysisEnd > 0);
        QCOMPARE(issues.mid(analysisEnd), (QStringList{u"0 S01E02: Erstellt: S01E02.mkv"_s,
                                                       u"0 S01E03: Erstellt: S01E03.mkv"_s}));
        QCOMPARE(folderEntries(run.filePath(u"out"_s)),
                 (QStringList{u"S01E01.mkv"_s, u"S01E02.mkv"_s, u"S01E03.mkv"_s}));
    }

    // A model released during a pair stops its mkvmerge and leaves nothing behind.
    void releasedDuringAPair()
    {
        QTemporaryDir run;
        auto model = modelOnNewFolders(run, {}, fakeMkvmergePrelude + hangingToolBody);
        QVERIFY(runAnalysis(*model));
        model->startMux();
        const pid_t tool = hangingToolProcess(run.filePath(u"mkvmerge"_s));
        QVERIFY(tool > 0);
        model.reset();
        QCOMPARE(::kill(tool, 0), -1);
        QCOMPARE(folderEntries(run.filePath(u"out"_s)), QStringList());
        QCOMPARE(leftovers(), QStringList());
    }
};

QTEST_GUILESS_MAIN(AppModelTest)
#include "tst_appmodel.moc"
