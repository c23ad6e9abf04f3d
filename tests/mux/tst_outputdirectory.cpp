// The final name on file systems that refuse the safer ways to take it.
#include "mux/OutputDirectory.h"
#include "support/TestInspection.h"
#include "support/TestMedia.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>

using namespace Qt::Literals::StringLiterals;

using Outcome = OutputDirectory::MoveOutcome;

class OutputDirectoryTest final : public QObject {
    Q_OBJECT

private slots:
    // Neither a rename without replacing nor a hard link: an empty placeholder of our own
    // takes the name first, and only that placeholder is replaced.
    void placeholderFallback_data()
    {
        QTest::addColumn<QString>("before");       // what holds the name beforehand
        QTest::addColumn<bool>("intrudes");        // another file replaces the placeholder
        QTest::addColumn<int>("placeholderRefusal");
        QTest::addColumn<Outcome>("expected");
        QTest::addColumn<QString>("finalContent"); // of the name afterwards
        QTest::newRow("free name") << QString() << false << 0 << Outcome::moved << u"ours"_s;
        QTest::newRow("name taken") << u"theirs"_s << false << 0 << Outcome::nameTaken
                                    << u"theirs"_s;
        QTest::newRow("placeholder replaced by another file")
            << QString() << true << 0 << Outcome::nameTaken << u"theirs"_s;
        QTest::newRow("no placeholder either")
            << QString() << false << EACCES << Outcome::failed << QString();
    }

    void placeholderFallback()
    {
        QFETCH(QString, before);
        QFETCH(bool, intrudes);
        QFETCH(int, placeholderRefusal);
        QFETCH(Outcome, expected);
        QFETCH(QString, finalContent);
        QTemporaryDir folder;
        const QString target = folder.filePath(u"S01E01.mkv"_s);
        writeTestFile(folder.filePath(u".ours.mkv"_s), "ours");
        if (!before.isEmpty())
            writeTestFile(target, before.toUtf8());
        OutputDirectory directory(folder.path());
        directory.simulateRefusals({EINVAL, EPERM, placeholderRefusal, [&] {
                                        if (intrudes)
                                            QVERIFY(QFile::remove(target) &&
                                                    !writeTestFile(target, "theirs").isEmpty());
                                    }});
        QString error;
        QCOMPARE(directory.moveWithoutReplacing(u".ours.mkv"_s, u"S01E01.mkv"_s, error), expected);
        QFile result(target);
        QCOMPARE(result.open(QIODevice::ReadOnly) ? QString::fromUtf8(result.readAll()) : QString(),
                 finalContent);
        if (expected == Outcome::failed)
            QCOMPARE(error, u"Das Dateisystem des Ausgabeordners verweigert das Umbenennen ohne "
                            u"Ersetzen (%1), feste Verknüpfungen (%2) und das Ersetzen eines "
                            u"eigenen Platzhalters (%3)."_s.arg(qt_error_string(EINVAL),
                                                                qt_error_string(EPERM),
                                                                qt_error_string(EACCES)));
    }
};

QTEST_GUILESS_MAIN(OutputDirectoryTest)
#include "tst_outputdirectory.moc"
