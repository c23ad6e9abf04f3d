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
        m_primary = m_media.filePath(u"Ordner 1"_s);
        m_localized = m_media.filePath(u"Ordner 2"_s);
        QVERIFY(QDir().mkpath(m_primary) && QDir().mkpath(m_localized));
        QCOMPARE(makeTestMatroska(m_primary + u"/S01E01.mkv"_s, {2.0, {{u"eng"_s}}}), QString());
        QCOMPARE(makeTestMatroska(m_localized + u"/S01E01.mkv"_s, {2.0, {{u"ger"_s}}}), QString());
    }

    // Folder 2 missing, or folder 1 under another path as folder 2 or as the output folder, is
    // refused before any work: the analysis pairs nothing, the mux starts nothing. A bind mount shows a folder
    // under a path that no link resolution leads back from.
    void folderOneUnderAnotherPath_data()
    {
        QTest::addColumn<bool>("bindMount"); // else a symbolic link
        QTest::newRow("a link") << false;
        QTest::newRow("a bind mount") << true;
    }
    void folderOneUnderAnotherPath()
    {
        QFETCH(bool, bindMount);
        const QString alias = m_media.filePath(bindMount ? u"Eingehängt"_s : u"Verweis"_s);
        if (!bindMount)
            QVERIFY(QFile::link(m_primary, alias));
        else if (!QDir().mkpath(alias) ||
                 ::mount(QFile::encodeName(m_primary).constData(),
                         QFile::encodeName(alias).constData(), nullptr, MS_BIND, nullptr) != 0)
            QSKIP("bind mounts are not permitted here");
        const auto unmount = qScopeGuard([&] {
            if (bindMount)
                ::umount2(QFile::encodeName(alias), MNT_DETACH);
        });

        auto model = std::make_unique<AppModel>();
        model->setPrimaryFolder(QUrl::fromLocalFile(m_primary));
        QSignalSpy analyzing(model.get(), &AppModel::isAnalyzingChanged);
        model->analyze(); // without folder 2 there is nothing to analyse
        QVERIFY(analyzing.isEmpty());
        model->setLocalizedFolder(QUrl::fromLocalFile(alias + u'/'));
        QVERIFY(runAnalysis(*model));
        QVERIFY(model->pairs().isEmpty());
        QCOMPARE(issueTexts(model->issues()),
                 QStringList{u"2 Ordner 1 und Ordner 2 sind derselbe Ordner: "_s +
                             QFileInfo(m_primary).canonicalFilePath() + u'.'});

        model->setLocalizedFolder(QUrl::fromLocalFile(m_localized));
        QVERIFY(runAnalysis(*model));
        QSignalSpy muxing(model.get(), &AppModel::isMuxingChanged);
        model->startMux(); // no output folder yet
        model->setOutputFolder(QUrl::fromLocalFile(alias));
        model->startMux();
        QCOMPARE(issueTexts(model->issues()).last(),
                 u"2 Der Ausgabeordner darf keiner der beiden Quellordner sein: "_s +
                     QFileInfo(alias).canonicalFilePath() + u'.');
        QVERIFY(muxing.isEmpty());
    }
};

QTEST_GUILESS_MAIN(FolderChecksTest)
#include "tst_folderchecks.moc"
