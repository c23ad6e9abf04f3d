// The model refuses folders that are missing or given twice before any work starts.
#include "support/ModelRuns.h"
#include "support/TestInspection.h"
#include "support/TestMedia.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <sys/mount.h>

using namespace Qt::StringLiterals;

class FolderChecksTest final : public QObject {
    Q_OBJECT

    QTemporaryDir m_media;
    QString m_primary;   // folder 1
    QString m_localized; // folder 2

private slots:
    void initTestCase()
    {
        QVERIFY(m_media.isValid());
        m_primary = m_media.filePath(u"Ordner 1"_s);
        m_localized = m_media.filePath(u"Ordner 2"_s);
        QVERIFY(QDir().mkpath(m_primary) && QDir().mkpath(m_localized));
        QCOMPARE(makeTestMatroska(m_primary + u"/S01E01.mkv"_s, {2.0, {{u"eng"_s}}}), QString());
        QCOMPARE(makeTestMatroska(m_localized + u"/S01E01.mkv"_s, {2.0, {{u"ger"_s}}}), QString());
    }

    // Folders missing or given twice are refused before any work: the analysis pairs nothing,
    // the mux starts nothing.
    void foldersMissingOrGivenTwice()
    {
        AppModel model;
        model.setPrimaryFolder(QUrl::fromLocalFile(m_primary));
        QSignalSpy analyzing(&model, &AppModel::isAnalyzingChanged);
        model.analyze();
        QVERIFY(analyzing.isEmpty());

        const QString link = m_media.filePath(u"Verweis auf Ordner 1"_s);
        QVERIFY(QFile::link(m_primary, link));
        model.setLocalizedFolder(QUrl::fromLocalFile(link + u'/'));
        QVERIFY(runAnalysis(model));
        QVERIFY(model.pairs().isEmpty());
        QCOMPARE(issueTexts(model.issues()),
                 QStringList{u"2 Ordner 1 und Ordner 2 sind derselbe Ordner: "_s +
                             QFileInfo(m_primary).canonicalFilePath() + u'.'});

        model.setLocalizedFolder(QUrl::fromLocalFile(m_localized));
        QVERIFY(runAnalysis(model));
        QSignalSpy muxing(&model, &AppModel::isMuxingChanged);
        model.startMux(); // no output folder yet
        model.setOutputFolder(QUrl::fromLocalFile(link));
        model.startMux();
        QCOMPARE(issueTexts(model.issues()).last(),
                 u"2 Der Ausgabeordner darf keiner der beiden Quellordner sein: "_s +
                     QFileInfo(m_primary).canonicalFilePath() + u'.');
        QVERIFY(muxing.isEmpty());
    }

    // A bind mount shows a folder under a path that no link resolution leads back from.
    void bindMountOfASourceFolder()
    {
        const QString mount = m_media.filePath(u"Eingehängt"_s);
        QVERIFY(QDir().mkpath(mount));
        if (::mount(QFile::encodeName(m_primary).constData(), QFile::encodeName(mount).constData(),
                    nullptr, MS_BIND, nullptr) != 0)
            QSKIP("bind mounts are not permitted here");
        const auto unmount = qScopeGuard([&] { ::umount2(QFile::encodeName(mount), MNT_DETACH); });
        const QString mountPath = QFileInfo(mount).canonicalFilePath();

        const auto model = modelFor(mount, m_primary);
        QVERIFY(runAnalysis(*model));
        QCOMPARE(
            issueTexts(model->issues()),
            QStringList{u"2 Ordner 1 und Ordner 2 sind derselbe Ordner: "_s + mountPath + u'.'});
        model->setPrimaryFolder(QUrl::fromLocalFile(m_primary));
        model->setLocalizedFolder(QUrl::fromLocalFile(m_localized));
        QVERIFY(runAnalysis(*model));
        model->setOutputFolder(QUrl::fromLocalFile(mount));
        QSignalSpy muxing(model.get(), &AppModel::isMuxingChanged);
        model->startMux();
        QCOMPARE(issueTexts(model->issues()).last(),
                 u"2 Der Ausgabeordner darf keiner der beiden Quellordner sein: "_s + mountPath +
                     u'.');
        QVERIFY(muxing.isEmpty());
    }
};

QTEST_GUILESS_MAIN(FolderChecksTest)
#include "tst_folderchecks.moc"
