#include "inspect/FfprobeReader.h"
#include "inspect/MKVInspector.h"
#include "inspect/MKVInspectorError.h"
#include "inspect/MkvmergeReader.h"
#include "support/TestMedia.h"

#include <QDir>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString failed = u"MKV-Analyse fehlgeschlagen: "_s;
const QString invalid = u"mkvmerge hat keine lesbaren Analysedaten geliefert."_s;
const QString mkvmerge = u"/usr/bin/mkvmerge"_s;
const QString ffprobe = u"/usr/bin/ffprobe"_s;

// "<n> tracks", or the text of the error.
QString outcome(const ToolLocations &tools, const QString &file)
{
    try {
        return u"%1 tracks"_s.arg(
            MKVInspector(tools).inspect(QUrl::fromLocalFile(file)).tracks.size());
    } catch (...) {
        return describeError(std::current_exception());
    }
}

// What both readers report alike for each track.
QStringList summaries(const MediaInspection &inspection)
{
    QStringList result;
    for (const MediaTrack &t : inspection.tracks)
        result.append(u"%1 %2 %3 %4%5"_s.arg(
            rawValue(t.type), t.language.value_or(u"-"_s), t.name.value_or(u"-"_s),
            t.defaultTrack ? u"D"_s : u""_s, t.forcedTrack ? u"F"_s : u""_s));
    return result;
}

} // namespace

// The real tools on files made at run time; shell scripts stand in for them where only a
// misbehaving tool shows the behaviour.
class InspectToolsTest final : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    QString path(const QString &name) const { return m_dir.filePath(name); }

    // A script unless `script` is false; bytes that bring their own "#!" line are kept as is.
    QString write(const QString &name, const QByteArray &bytes, bool script = true)
    {
        QFile file(path(name));
        const bool shebang = script && !bytes.startsWith("#!");
        if (!file.open(QIODevice::WriteOnly) ||
            file.write(shebang ? "#!/bin/sh\n" + bytes : bytes) < 0 ||
            !file.setPermissions(file.permissions() |
                                 (script ? QFile::ExeOwner : QFile::ReadOwner)))
            qFatal("cannot write %s", qPrintable(name));
        return file.fileName();
    }

    // A bundled mkvmerge runs without the architecture check.
    ToolLocations bundled(const QString &mkvmerge, const QString &ffprobe = {}) const
    {
        return {mkvmerge, {}, {ffprobe}, path(u"file"_s), {u"host-arch"_s}};
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        // Names "host-arch" unless the target's path ends in "foreign"; like the real `file`,
        // echoes the path unless told "-b" and calls a link a link unless told "-L".
        write(u"file"_s, "brief=; follow=; while [ $# -gt 1 ]; do case $1 in -b) brief=1;;\n"
                         "-L) follow=1;; esac; shift; done\n"
                         "p=$1; [ $brief ] || printf '%s: ' \"$p\"\n"
                         "[ -L \"$p\" ] && [ -z \"$follow\" ] && { echo 'symbolic link'; exit; }\n"
                         "case $(readlink -f \"$p\") in *foreign) echo 'ELF, other-arch' ;;\n"
                         "*) echo 'ELF, host-arch' ;; esac");
        QVERIFY(QDir(m_dir.path()).mkdir(u"host-arch"_s));
        for (const QString &name : {u"host"_s, u"foreign"_s, u"host-arch/foreign"_s})
            write(name, "exit 0");
        write(u"noexec"_s, "#!/bin/sh\nexit 0", false);
        QVERIFY(QFile::link(path(u"host"_s), path(u"link"_s)));

        write(u"text.mkv"_s, "Hallo", false);
        write(u"empty.mkv"_s, "", false);
        const TestMediaLayout episode{
            3.0,
            {{u"eng"_s, u"English"_s, true, false},
             {u"ger"_s, u"Deutsch"_s, false, true},
             {std::nullopt, std::nullopt, false, false}},
            {{u"ger"_s, u"Erzwungen"_s, false, true}, {u"eng"_s, {}, true, false}}};
        QCOMPARE(makeTestMatroska(path(u"episode.mkv"_s), episode), QString());
        for (const QString &odd : {u"-J.mkv"_s, u"@options"_s, u"a b 'c\" d.mkv"_s})
            QVERIFY(QFile::copy(path(u"episode.mkv"_s), path(odd)));
    }

    void locateMkvmerge_data()
    {
        QTest::addColumn<QString>("bundled");
        QTest::addColumn<QStringList>("candidates");
        QTest::addColumn<QString>("fileCommand");
        QTest::addColumn<QString>("found");
        const QStringList all{u"missing"_s, u"noexec"_s, u"foreign"_s, u"host"_s};
        QTest::newRow("first host candidate") << u""_s << all << u"file"_s << u"host"_s;
        QTest::newRow("marker in a folder name")
            << u""_s << QStringList{u"host-arch/foreign"_s} << u"file"_s << u""_s;
        QTest::newRow("link judged by target")
            << u""_s << QStringList{u"link"_s} << u"file"_s << u"link"_s;
        QTest::newRow("bundled unchecked") << u"foreign"_s << all << u"file"_s << u"foreign"_s;
        QTest::newRow("bundled not executable") << u"noexec"_s << all << u"file"_s << u"host"_s;
        QTest::newRow("file command missing") << u""_s << all << u"missing"_s << u""_s;
    }
    void locateMkvmerge()
    {
        QFETCH(QString, bundled);
        QFETCH(QStringList, candidates);
        QFETCH(QString, fileCommand);
        QFETCH(QString, found);
        for (QString &candidate : candidates)
            candidate = path(candidate);
        const ToolDiscovery discovery({bundled.isEmpty() ? u""_s : path(bundled),
                                       candidates,
                                       {},
                                       path(fileCommand),
                                       {u"host-arch"_s}});
        const auto located = discovery.locateMkvmerge();
        QCOMPARE(located ? located->toLocalFile() : u""_s, found.isEmpty() ? found : path(found));
    }

    void fakeTools_data()
    {
        QTest::addColumn<QByteArray>("mkvmerge"); // script body; empty: no mkvmerge
        QTest::addColumn<QByteArray>("ffprobe");
        QTest::addColumn<QString>("outcome");
        QJsonParseError parseError;
        QJsonDocument::fromJson("kein JSON\n", &parseError);
        QProcess unstartable; // an interpreter that does not exist
        unstartable.start(write(u"unstartable"_s, "#!/nonexistent/sh"));
        unstartable.waitForStarted();
        const auto row = [](const char *name, const char *mkvmerge, const QString &outcome,
                            const char *ffprobe = "") {
            QTest::newRow(name) << QByteArray(mkvmerge) << QByteArray(ffprobe) << outcome;
        };
        row("stderr whole", "printf ' Zeile 1\\nZeile 2\\n' >&2; exit 2",
            failed + u" Zeile 1\nZeile 2\n"_s);
        row("no stderr, stdout ignored", "echo '{\"tracks\":[]}'; exit 1", failed);
        // mkvmerge reports an unreadable file in its JSON and leaves standard error empty.
        row("errors in the report", "echo '{\"errors\":[\"Nicht lesbar.\\n\"]}'; exit 2",
            failed + u"Nicht lesbar.\n"_s);
        row("invalid UTF-8", "printf 'a\\377b' >&2; exit 1", failed + u"a\uFFFDb"_s);
        row("crash with text", "echo Speicher >&2; kill -SEGV $$", failed + u"Speicher\n"_s);
        row("crash without text", "kill -SEGV $$", failed + u"Process crashed"_s);
        row("no JSON", "echo 'kein JSON'", parseError.errorString());
        row("no start", "#!/nonexistent/sh", unstartable.errorString());
        row("array", "echo '[]'", invalid);
        row("no tracks", "echo '{\"streams\":[]}'", invalid);
        row("tracks no array", "echo '{\"tracks\":{}}'", invalid);
        row("non-object track", "echo '{\"tracks\":[{\"id\":0},3]}'", invalid);
        row("tracks dropped", "echo '{\"tracks\":[{},{\"id\":\"1\"},{\"id\":2}]}'", u"1 tracks"_s);
        row("ffprobe without mkvmerge", "", u"2 tracks"_s,
            "echo '{\"streams\":[{\"index\":4},{\"index\":5}]}'");
        row("no ffprobe after mkvmerge failed", "exit 2", failed, "echo '{\"streams\":[]}'");
        row("neither", "", u"mkvmerge wurde nicht gefunden."_s);
    }
    void fakeTools()
    {
        QFETCH(QByteArray, mkvmerge);
        QFETCH(QByteArray, ffprobe);
        QFETCH(QString, outcome);
        const auto tool = [&](const QString &name, const QByteArray &body) {
            return body.isEmpty() ? QString() : write(name, body);
        };
        const ToolLocations tools =
            bundled(tool(u"mkvmerge"_s, mkvmerge), tool(u"ffprobe"_s, ffprobe));
        QCOMPARE(::outcome(tools, path(u"x.mkv"_s)), outcome);
    }

    // Over 1 MiB on each pipe; standard input must be closed, else `cat` would wait.
    void argumentsAndLargeOutput_data()
    {
        QTest::addColumn<bool>("useFfprobe");
        QTest::addColumn<QString>("arguments");
        QTest::newRow("mkvmerge") << false << u"--identify|--identification-format|json|"_s;
        QTest::newRow("ffprobe") << true << u"-v|error|-show_format|-show_streams|-of|json|"_s;
    }
    void argumentsAndLargeOutput()
    {
        QFETCH(bool, useFfprobe);
        QFETCH(QString, arguments);
        const QByteArray big = "head -c 2000000 /dev/zero | tr '\\0' x";
        const QString tool =
            write(u"big"_s, "printf '%s|' \"$@\" > '" + path(u"args"_s).toUtf8() + "'; cat; " +
                                big + " >&2; printf '{\"tracks\":[],\"streams\":[],\"pad\":\"'; " +
                                big + "; echo '\"}'");
        const QString file = path(u"-a b'c\"@.mkv"_s);
        QCOMPARE(outcome(useFfprobe ? bundled({}, tool) : bundled(tool), file), u"0 tracks"_s);
        QFile written(path(u"args"_s));
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(written.readAll()), arguments + file + u'|');
    }

    // The first call waits for a file the main thread writes only after both calls returned.
    void asyncCallsReturnBeforeTheToolEnds()
    {
        MKVInspector inspector(bundled(write(u"slow"_s, "case \"$4\" in *first) until [ -e '" +
                                                            path(u"go"_s).toUtf8() +
                                                            "' ]; do sleep 0.01; done ;;\n"
                                                            "*bad) exit 1 ;; esac\n"
                                                            "echo '{\"tracks\":[]}'")));
        auto first = inspector.inspectAsync(QUrl::fromLocalFile(path(u"first"_s)));
        auto second = inspector.inspectAsync(QUrl::fromLocalFile(path(u"bad"_s)));
        QVERIFY(!first.isFinished());
        write(u"go"_s, "", false);
        QCOMPARE(first.result().file, QUrl::fromLocalFile(path(u"first"_s)));
        QVERIFY_THROWS_EXCEPTION(MKVInspectorError, second.waitForFinished());
    }

    // An inspector that goes away stops its running tool instead of waiting for it.
    void destroyedInspectorStopsItsTool()
    {
        const QByteArray pidFile = path(u"pid"_s).toUtf8();
        auto inspector = std::make_unique<MKVInspector>(
            bundled(write(u"hanging"_s, "echo $$ > '" + pidFile + ".tmp'; mv '" + pidFile +
                                            ".tmp' '" + pidFile + "'; exec sleep 600")));
        QFuture<MediaInspection> pending = inspector->inspectAsync(QUrl::fromLocalFile(u"/x"_s));
        QTRY_VERIFY(QFile::exists(path(u"pid"_s)));
        QFile pid(path(u"pid"_s));
        QVERIFY(pid.open(QIODevice::ReadOnly));
        const pid_t tool = pid.readAll().trimmed().toInt();
        inspector.reset();
        QVERIFY(pending.isFinished());
        QCOMPARE(::kill(tool, 0), -1); // the tool is gone, not left behind
    }

    // ffprobe leaves out the language "und"; the rest reads alike.
    void realToolsAgree()
    {
        const QUrl file = QUrl::fromLocalFile(path(u"episode.mkv"_s));
        const MediaInspection identified =
            identifyWithMkvmerge(QUrl::fromLocalFile(mkvmerge), file);
        const MediaInspection probed = probeWithFfprobe(QUrl::fromLocalFile(ffprobe), file);
        QCOMPARE(identified.file, file);
        QVERIFY(qAbs(identified.duration.value_or(0) - 3.0) < 0.1);
        QVERIFY(qAbs(probed.duration.value_or(0) - 3.0) < 0.1);
        QStringList expected{
            u"video und - D"_s, u"audio eng English D"_s,       u"audio ger Deutsch F"_s,
            u"audio und - "_s,  u"subtitles ger Erzwungen F"_s, u"subtitles eng - D"_s};
        QCOMPARE(summaries(identified), expected);
        QCOMPARE(summaries(probed), expected.replaceInStrings(u" und "_s, u" - "_s));
        QCOMPARE(identified.tracks[1].codec, u"AC-3"_s);

        // The PAL speed-up pair the pairing rules compare.
        for (const double seconds : {25.0, 23.976}) {
            const QString pal = path(QString::number(seconds) + u".mkv"_s);
            QCOMPARE(makeTestMatroska(pal, TestMediaLayout{seconds, {{}}, {}}), QString());
            const auto duration =
                identifyWithMkvmerge(QUrl::fromLocalFile(mkvmerge), QUrl::fromLocalFile(pal))
                    .duration;
            QVERIFY(qAbs(duration.value_or(0) - seconds) < 0.1);
        }
    }

    // Unreadable files end in an error; odd names are never read as options.
    void badInput_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("useFfprobe");
        QTest::addColumn<QString>("outcome"); // how the result begins
        for (const bool useFfprobe : {false, true}) {
            const auto row = [&](const char *name, const QString &outcome) {
                QTest::addRow("%s %s", useFfprobe ? "ffprobe" : "mkvmerge", name)
                    << QString::fromUtf8(name) << useFfprobe << outcome;
            };
            row("text.mkv", useFfprobe ? failed : invalid);
            row("empty.mkv", useFfprobe ? failed : invalid);
            row("missing.mkv", failed);
            for (const char *odd : {"-J.mkv", "@options", "a b 'c\" d.mkv"})
                row(odd, u"6 tracks"_s);
        }
    }
    void badInput()
    {
        QFETCH(QString, name);
        QFETCH(bool, useFfprobe);
        QFETCH(QString, outcome);
        // The real tools, with the real architecture check.
        const ToolLocations tools{{},
                                  useFfprobe ? QStringList() : QStringList{mkvmerge},
                                  {ffprobe},
                                  u"/usr/bin/file"_s,
                                  ToolLocations::platformDefault().architectureMarkers};
        const QString result = ::outcome(tools, path(name));
        QVERIFY2(result.startsWith(outcome), qPrintable(result));
    }
};

QTEST_GUILESS_MAIN(InspectToolsTest)
#include "tst_inspecttools.moc"
