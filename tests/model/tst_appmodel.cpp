#include "model/AppModel.h"
#include "support/TestInspection.h"
#include "support/TestMedia.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

TestMediaLayout audioIn(const QStringList &languages, double seconds = 2.0)
{
    TestMediaLayout layout;
    layout.durationSeconds = seconds;
    for (const QString &language : languages)
        layout.audio << TestTrack{.language =
                                      language.isEmpty() ? std::nullopt : std::optional(language)};
    return layout;
}

QStringList pairRows(const AppModel &model)
{
    QStringList rows;
    for (const EpisodePair &pair : model.pairs()) {
        rows << pair.id + u' ' + rawValue(pair.status) + u' ' +
                    (pair.primary ? fileNameOf(pair.primary->url) : u"–"_s);
    }
    return rows;
}

bool runAnalysis(AppModel &model)
{
    QSignalSpy finished(&model, &AppModel::analysisFinished);
    model.analyze();
    return !finished.isEmpty() || finished.wait(120000);
}

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

    static AppModel *modelFor(const QString &primary, const QString &localized,
                              ToolLocations tools = ToolLocations::platformDefault())
    {
        auto *model = new AppModel(std::move(tools));
        model->setPrimaryFolder(QUrl::fromLocalFile(primary));
        model->setLocalizedFolder(QUrl::fromLocalFile(localized));
        return model;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_media.isValid());
        m_primary = m_media.filePath(u"Ordner 1"_s);
        m_localized = m_media.filePath(u"Ordner 2"_s);
        QVERIFY(QDir().mkpath(m_primary) && QDir().mkpath(m_localized));

        for (const auto &[folder, name, layout] :
             std::initializer_list<std::tuple<QString, QString, TestMediaLayout>>{
                 {m_primary, u"S01E01.mkv"_s, audioIn({u"eng"_s})},
                 {m_primary, u"S01E02.mkv"_s, audioIn({u"eng"_s, u"ger"_s}, 25.0)},
                 {m_primary, u"S01E03.mkv"_s, audioIn({u"eng"_s})},
                 {m_primary, u"a S01E04.mkv"_s, audioIn({u"eng"_s})},
                 {m_primary, u"b S01E04.mkv"_s, audioIn({u"eng"_s})},
                 {m_primary, u"S01E05.mkv"_s, audioIn({u"eng"_s})},
                 {m_localized, u"S01E01 - Pilot.mkv"_s, audioIn({u"ger"_s, u"eng"_s})},
                 {m_localized, u"S01E02.mkv"_s, audioIn({QString()}, 25.0 * 960 / 1001)},
                 {m_localized, u"S01E04.mkv"_s, audioIn({u"ger"_s})},
                 {m_localized, u"S01E06.mkv"_s, audioIn({u"ger"_s})},
             }) {
            const QString failure = makeTestMatroska(folder + u'/' + name, layout);
            QVERIFY2(failure.isEmpty(), qPrintable(failure));
        }
        QVERIFY(writeTestSubtitle(m_localized + u"/S01E01.de.srt"_s));
        QFile rejected(m_localized + u"/S01E05.mkv"_s); // not Matroska at all
        QVERIFY(rejected.open(QIODevice::WriteOnly));
        rejected.write("kein Film\n");
    }

    void analysisOfRealFolders()
    {
        std::unique_ptr<AppModel> model(modelFor(m_primary, m_localized));
        NotificationLog log(*model);
        QVERIFY(runAnalysis(*model));

        QCOMPARE(
            pairRows(*model),
            (QStringList{u"S01E01 Bereit S01E01.mkv"_s, u"S01E02 Bereit S01E02.mkv"_s,
                         u"S01E03 Datei in Ordner 2 fehlt S01E03.mkv"_s,
                         u"S01E04 Zuordnung nicht eindeutig a S01E04.mkv"_s,
                         u"S01E05 Bereit S01E05.mkv"_s, u"S01E06 Datei in Ordner 1 fehlt –"_s}));
        // Every file of every pair is inspected, the first of an ambiguous group included;
        // the rejected one is not stored.
        QCOMPARE(model->inspections().size(), 9);
        const QUrl missingPartner = model->pairs().at(2).primary->url;
        QCOMPARE(model->inspections().value(missingPartner).file, missingPartner);
        QVERIFY(!model->inspections().contains(model->pairs().at(4).localized->url));

        const AppModel::Inspections &inspections = model->inspections();
        const double p = *inspections.value(model->pairs().at(1).primary->url).duration;
        const double l = *inspections.value(model->pairs().at(1).localized->url).duration;
        QCOMPARE(issueTexts(model->issues()),
                 (QStringList{
                     u"2 S01E05.mkv: mkvmerge hat keine lesbaren Analysedaten geliefert."_s,
                     u"0 S01E01: Englische Audiospur 2 aus Ordner 2 wird übersprungen; Englisch "
                     u"stammt aus Ordner 1."_s,
                     u"0 S01E01: 1 externe Untertiteldatei(en) zugeordnet."_s,
                     u"0 S01E02: Mindestens eine Audiospur aus Ordner 2 hat keine Sprachkennung "
                     u"und wird als Deutsch (deu) behandelt."_s,
                     u"0 S01E02: Deutsche Audiospur 2 aus Ordner 1 wird übersprungen; Deutsch "
                     u"stammt aus Ordner 2."_s,
                     u"0 S01E02: 25→23,976-PAL-Speedup erkannt (%1 Sekunden Differenz); wird "
                     u"beim Muxen automatisch korrigiert."_s.arg(p - l, 0, 'f', 2),
                 }));

        // Notifications: the run starts, pairs arrive before any inspection, each stored
        // inspection and each appended issue is one change, and the run ends.
        QStringList expected{u"isAnalyzing"_s, u"pairs"_s};
        for (int file = 0; file < 10; ++file)
            expected << (file == 8 ? u"issues"_s : u"inspections"_s);
        for (int rule = 0; rule < 5; ++rule)
            expected << u"issues"_s;
        expected << u"isAnalyzing"_s;
        QCOMPARE(log.names, expected);

        // A second run starts from empty lists; unchanged pairs do not notify again.
        log.names.clear();
        QVERIFY(runAnalysis(*model));
        QCOMPARE(log.names.mid(0, 4),
                 (QStringList{u"isAnalyzing"_s, u"inspections"_s, u"issues"_s, u"inspections"_s}));
        QCOMPARE(model->issues().size(), 6);
    }

    void nothingHappensWithoutBothFolders()
    {
        AppModel model;
        model.setPrimaryFolder(QUrl::fromLocalFile(m_primary));
        QSignalSpy analyzing(&model, &AppModel::isAnalyzingChanged);
        model.analyze();
        QVERIFY(analyzing.isEmpty());
        QVERIFY(model.pairs().isEmpty());

        // Setting a folder again to the same value notifies nobody.
        QSignalSpy folderChanged(&model, &AppModel::primaryFolderChanged);
        model.setPrimaryFolder(QUrl::fromLocalFile(m_primary));
        QVERIFY(folderChanged.isEmpty());
    }

    void withoutToolsEveryFileFails()
    {
        std::unique_ptr<AppModel> model(modelFor(m_primary, m_localized, ToolLocations{}));
        QVERIFY(runAnalysis(*model));
        QCOMPARE(model->issues().size(), 10);
        QCOMPARE(model->issues().first().message, u"S01E01.mkv: mkvmerge wurde nicht gefunden."_s);
        QVERIFY(model->inspections().isEmpty());
    }

    // While a slow tool runs, the main thread keeps handling events.
    void mainThreadStaysResponsive()
    {
        QTemporaryDir tools;
        const QString slowTool = tools.filePath(u"mkvmerge"_s);
        QFile script(slowTool);
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\nsleep 0.4\necho '{\"tracks\":[]}'\n");
        script.close();
        script.setPermissions(script.permissions() | QFileDevice::ExeOwner);
        ToolLocations slow;
        slow.bundledMkvmerge = slowTool;

        QTemporaryDir one, two;
        for (const QString &folder : {one.path(), two.path()})
            QFile(folder + u"/S01E01.mkv"_s).open(QIODevice::WriteOnly);
        std::unique_ptr<AppModel> model(modelFor(one.path(), two.path(), slow));
        int ticks = 0;
        QTimer timer;
        connect(&timer, &QTimer::timeout, this, [&] { ++ticks; });
        timer.start(10);
        QVERIFY(runAnalysis(*model));
        QVERIFY2(ticks >= 10, qPrintable(QString::number(ticks)));
        QCOMPARE(model->inspections().size(), 2);
    }

    // A folder that disappears during the run: the files still to come fail, the run ends.
    void folderVanishesDuringRun()
    {
        QTemporaryDir copy;
        const QString vanishing = copy.filePath(u"Ordner 2"_s);
        QVERIFY(QDir().mkpath(vanishing));
        for (const QString &name : QDir(m_localized).entryList(QDir::Files))
            QVERIFY(QFile::copy(m_localized + u'/' + name, vanishing + u'/' + name));

        std::unique_ptr<AppModel> model(modelFor(m_primary, vanishing));
        connect(model.get(), &AppModel::inspectionsChanged, this,
                [&] { QDir(vanishing).removeRecursively(); });
        QVERIFY(runAnalysis(*model));
        QCOMPARE(model->pairs().size(), 6);
        const QStringList issues = issueTexts(model->issues());
        QVERIFY2(issues.first().startsWith(
                     u"2 S01E01 - Pilot.mkv: MKV-Analyse fehlgeschlagen: The file"_s),
                 qPrintable(issues.first()));
        QCOMPARE(issues.filter(u"MKV-Analyse fehlgeschlagen"_s).size(), 5);
    }
};

QTEST_GUILESS_MAIN(AppModelTest)
#include "tst_appmodel.moc"
