// The main window driven like a user: folders, analysis, mux, keyboard and accessibility.
#include "ActionRow.h"
#include "ContentView.h"
#include "ElidedLabel.h"
#include "FolderRow.h"
#include "IssueBox.h"
#include "model/AppModel.h"
#include "MuxAnnouncer.h"
#include "OptionsRow.h"
#include "PairDetail.h"
#include "support/TestMedia.h"
#include "TableCells.h"

#include <QAccessible>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QListView>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class ContentViewTest final : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_media;
    QString m_primary, m_localized, m_output;

private slots:
    void initTestCase()
    {
        m_primary = m_media.filePath(u"Ordner 1"_s);
        m_localized = m_media.filePath(u"Ordner 2"_s);
        m_output = m_media.filePath(u"Ausgabe"_s);
        for (const QString &path : {m_primary, m_localized, m_output})
            QVERIFY(QDir().mkpath(path));
        const TestMediaLayout english{.audio = {TestTrack{.language = u"eng"_s}}};
        for (const QString &name : {u"/S01E01.mkv"_s, u"/S01E02.mkv"_s, u"/S01E03.mkv"_s})
            QCOMPARE(makeTestMatroska(m_primary + name, english), QString());
        QCOMPARE(makeTestMatroska(m_localized + u"/S01E01.mkv"_s,
                                  {.audio = {TestTrack{.language = u"ger"_s}}}),
                 QString());
        // English audio only: an error and a note, published one after the other.
        QCOMPARE(makeTestMatroska(m_localized + u"/S01E02.mkv"_s, english), QString());
        QVERIFY(writeTestSubtitle(m_localized + u"/S01E01.de.srt"_s)); // gives a note
    }

    void workflowThroughTheWindow()
    {
        AppModel model;
        // The folder chooser answers as a user would; an absent answer cancels it.
        QList<std::optional<QUrl>> answers{QUrl::fromLocalFile(m_primary),
                                           QUrl::fromLocalFile(m_localized),
                                           QUrl::fromLocalFile(m_output)};
        QStringList captions;
        ContentView view(model, [&](QWidget *, const QString &caption) {
            captions << caption;
            return answers.takeFirst();
        });
        QVERIFY(view.issueBox()->isHidden());

        // The options are off at each start; a box switches the model and shows its value. The
        // cut repair needs the sync check's measurement: the boxes and the model keep them together.
        ActionRow *actions = view.actionRow();
        const OptionsRow *options = view.optionsRow();
        QVERIFY(!model.isSyncCheckEnabled() && !model.isPitchRestoreEnabled() &&
                !model.isCutRepairEnabled());
        options->cutRepairBox()->click();
        QVERIFY(model.isCutRepairEnabled() && model.isSyncCheckEnabled());
        QVERIFY(options->syncCheckBox()->isChecked());
        options->syncCheckBox()->click();
        QVERIFY(!model.isSyncCheckEnabled() && !model.isCutRepairEnabled());
        QVERIFY(!options->cutRepairBox()->isChecked());
        options->pitchRestoreBox()->click();
        QVERIFY(model.isPitchRestoreEnabled());

        for (const FolderRow *row : view.folderRows())
            row->chooseButton()->click();
        QCOMPARE(captions, (QStringList{u"Ordner 1 auswählen"_s, u"Ordner 2 auswählen"_s,
                                        u"Ausgabeordner auswählen"_s}));
        QCOMPARE(view.folderRows()[0]->pathLabel()->fullText(), m_primary);

        QAbstractItemModel *issueRows = view.issueBox()->list()->model();
        QSignalSpy resets(issueRows, &QAbstractItemModel::modelReset);
        QSignalSpy inserts(issueRows, &QAbstractItemModel::rowsInserted);
        QSignalSpy finished(&model, &AppModel::analysisFinished);
        actions->analyzeButton()->click();
        QVERIFY(!actions->analyzeButton()->isEnabled());
        QVERIFY(finished.wait(60000));

        const QTableView *table = view.pairTable();
        QCOMPARE(column(table, 0), (QStringList{u"S01E01"_s, u"S01E02"_s, u"S01E03"_s}));
        QCOMPARE(column(table, 2), (QStringList{u"S01E01.mkv"_s, u"S01E02.mkv"_s, u"–"_s}));
        QCOMPARE(column(table, 4),
                 (QStringList{u"Bereit"_s, u"Bereit"_s, u"Datei in Ordner 2 fehlt"_s}));
        QCOMPARE(actions->pairCountLabel()->text(), u"3 Zuordnung(en)"_s);
        QVERIFY(actions->muxButton()->isEnabled());

        // Each issue arrived as one inserted row; nothing was rebuilt.
        QVERIFY(!view.issueBox()->isHidden());
        QCOMPARE(issueRows->rowCount(), 3);
        QCOMPARE(inserts.size(), 3);
        QCOMPARE(resets.size(), 0);

        view.issueBox()->copyButton()->click();
        QCOMPARE(QGuiApplication::clipboard()->text(),
                 u"[Hinweis] S01E01: 1 externe Untertiteldatei(en) zugeordnet.\n"
                 u"[Fehler] S01E02: Keine deutsche Audiospur gefunden.\n"
                 u"[Hinweis] S01E02: Englische Audiospur 1 aus Ordner 2 wird übersprungen; "
                 u"Englisch stammt aus Ordner 1."_s);

        // A second analysis starts a new list: one reset, and the rows follow it again.
        actions->analyzeButton()->click();
        QVERIFY(finished.wait(60000));
        QCOMPARE(resets.size(), 1);
        QCOMPARE(issueRows->rowCount(), model.issues().size());

        // The window was never shown, so the end of the run is announced.
        QStringList announced;
        view.muxAnnouncer()->setSender([&](const QString &text) { announced << text; });
        actions->muxButton()->click();
        QVERIFY(actions->muxItems()->isVisibleTo(&view));
        actions->cancelButton()->click();
        QCOMPARE(actions->progressText()->fullText(), u"Wird abgebrochen …"_s);
        QTRY_VERIFY_WITH_TIMEOUT(!model.isMuxing(), 60000);
        QVERIFY(!actions->muxItems()->isVisibleTo(&view));
        QCOMPARE(announced, QStringList{u"Muxen abgebrochen: 0 erstellt."_s});

        // Whatever the chooser returns is stored: cancelling it clears the row.
        answers << std::nullopt;
        view.folderRows()[0]->chooseButton()->click();
        QCOMPARE(model.primaryFolder(), std::nullopt);
        const ElidedLabel *path = view.folderRows()[0]->pathLabel();
        QCOMPARE(path->fullText(), u"Nicht ausgewählt"_s);
        QCOMPARE(path->foregroundRole(), QPalette::PlaceholderText);
    }

    void droppingOntoAFolderRow_data()
    {
        QTest::addColumn<QList<QUrl>>("dropped");
        QTest::addColumn<bool>("accepted");
        const QUrl localized = QUrl::fromLocalFile(m_localized);
        QTest::newRow("a folder is taken") << QList{localized} << true;
        QTest::newRow("a file is refused")
            << QList{QUrl::fromLocalFile(m_localized + u"/S01E01.mkv"_s)} << false;
        QTest::newRow("two folders are refused")
            << QList{QUrl::fromLocalFile(m_primary), localized} << false;
    }

    void droppingOntoAFolderRow()
    {
        QFETCH(QList<QUrl>, dropped);
        QFETCH(bool, accepted);
        AppModel model;
        ContentView view(model);
        FolderRow *row = view.folderRows()[1];
        QMimeData data;
        data.setUrls(dropped);

        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(row, &enter);
        QCOMPARE(enter.isAccepted(), accepted);
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(row, &drop);
        QCOMPARE(model.localizedFolder(), accepted ? std::optional(dropped.first()) : std::nullopt);
    }

    // Tab walks the window as it reads: top to bottom, left to right. Every control, and each
    // folder's path, has a name to announce.
    void tabOrderAndAccessibleNames()
    {
        AppModel model;
        ContentView view(model);
        // Every control on screen: a run is going on and there are issues.
        view.actionRow()->showState(ActionState{.isMuxing = true});
        view.issueBox()->show();
        view.pairDetail()->show();
        const OptionsRow *options = view.optionsRow();
        const ActionRow *actions = view.actionRow();
        QList<QWidget *> expected;
        for (const FolderRow *row : view.folderRows())
            expected << row->chooseButton();
        expected << options->syncCheckBox() << options->pitchRestoreBox()
                 << options->cutRepairBox() << options->jobsBox()
                 << actions->analyzeButton() << actions->muxButton() << actions->cancelButton()
                 << view.pairTable() << view.pairDetail()->trackTable()
                 << view.issueBox()->copyButton() << view.issueBox()->list();

        QList<QWidget *> walked;
        for (QWidget *w = expected.first(); walked.size() <= expected.size();
             w = w->nextInFocusChain()) {
            // A spin box takes the focus for its line edit.
            if ((w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(&view) && !w->focusProxy())
                walked << w;
            if (w->nextInFocusChain() == expected.first())
                break;
        }
        QCOMPARE(walked, expected);

        const auto nameOf = [](QWidget *control) {
            return QAccessible::queryAccessibleInterface(control)->text(QAccessible::Name);
        };
        for (const FolderRow *row : view.folderRows()) {
            expected << row->pathLabel();
            // Announced with their row: "Auswählen …" alone would not tell them apart.
            QCOMPARE(nameOf(row->chooseButton()), row->chooserMessage());
        }
        for (QWidget *control : std::as_const(expected))
            QVERIFY2(!nameOf(control).isEmpty(), control->metaObject()->className());
    }
};

QTEST_MAIN(ContentViewTest)
#include "tst_contentview.moc"
