// Removing what dead runs left, and the note about it.
#include "support/TestMedia.h"
#include "tools/TemporaryNames.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <QUuid>

#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

class LeftoversTest final : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    QString path(const QString &name) const { return m_dir.filePath(name); }

private slots:
    // Only what a run that no longer exists left, marked as ours, is removed.
    void leftovers_data()
    {
        QTest::addColumn<QString>("name"); // "<dead>", "<live>", "<reused>": an owner's mark
        QTest::addColumn<QString>("kind"); // file (1000 bytes), folder (two of 500), link
        QTest::addColumn<int>("removedFiles");
        QTest::newRow("file of an ended run") << u"<dead>.mkv"_s << u"file"_s << 1;
        QTest::newRow("folder of an ended run") << u"<dead>-audio-x1"_s << u"folder"_s << 2;
        QTest::newRow("link of an ended run: the link only") << u"<dead>.mkv"_s << u"link"_s << 1;
        QTest::newRow("process id reused since") << u"<reused>.json"_s << u"file"_s << 1;
        QTest::newRow("a running instance's file") << u"<live>.mkv"_s << u"file"_s << 0;
        QTest::newRow("not our exact mark") << u".spurenflechter-1-2-x.mkv"_s << u"file"_s << 0;
    }
    void leftovers()
    {
        QFETCH(QString, name);
        QFETCH(QString, kind);
        QFETCH(int, removedFiles);
        const pid_t ended = ::fork();
        if (ended == 0)
            ::_exit(0);
        ::waitpid(ended, nullptr, 0);
        const QString live = hiddenTemporaryName({});
        const QStringList mark = live.split(u'-');
        const QString uuid = QUuid::createUuid().toString(QUuid::WithoutBraces);
        name.replace(u"<dead>"_s, u".spurenflechter-%1-1-%2"_s.arg(ended).arg(uuid))
            .replace(u"<reused>"_s, u".spurenflechter-%1-1-%2"_s.arg(mark[1], uuid))
            .replace(u"<live>"_s, live);
        const QTemporaryDir folder(path(u"leftovers-XXXXXX"_s));
        const QString entry = folder.filePath(name);
        const QString outside = path(u"outside"_s);
        writeTestFile(outside, QByteArray(1000, 'x'));
        if (kind == u"file")
            writeTestFile(entry, QByteArray(1000, 'x'));
        if (kind == u"link")
            QVERIFY(QFile::link(outside, entry));
        if (kind == u"folder") {
            QVERIFY(QDir().mkpath(entry + u"/inner"_s));
            writeTestFile(entry + u"/a"_s, QByteArray(500, 'x'));
            writeTestFile(entry + u"/inner/.b"_s, QByteArray(500, 'x'));
        }
        const LeftoverRemoval removal = removeLeftovers(folder.path());
        QCOMPARE(removal.files, removedFiles);
        QCOMPARE(removal.bytes, removedFiles > 0 && kind != u"link" ? 1000 : 0);
        QCOMPARE(QFileInfo(entry).exists() || QFileInfo(entry).isSymLink(), removedFiles == 0);
        QCOMPARE(QFileInfo(outside).size(), 1000);
    }

    // One file, and none, in a mux run: the mux-run tests.
    void leftoverNotes()
    {
        const QString where = u"Im Ausgabeordner"_s;
        QCOMPARE(leftoverNote({3, 1'234'000'000}, where).value_or(QString()),
                 u"Im Ausgabeordner wurden 3 liegen gebliebene temporäre Dateien eines beendeten "
                 u"Laufs entfernt (1,2 GB)."_s);
    }
};

QTEST_GUILESS_MAIN(LeftoversTest)
#include "tst_leftovers.moc"
