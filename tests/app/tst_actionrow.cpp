// The action row: button states, mux progress, percent text; the window at its minimum width.
#include "ActionRow.h"
#include "Appearance.h"
#include "ContentView.h"
#include "ElidedLabel.h"
#include "FolderRow.h"
#include "model/AppModel.h"
#include "model/RemainingTime.h"
#include "OptionsRow.h"
#include "Spinner.h"

#include <QCheckBox>
#include <QLabel>
#include <QLayout>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

using namespace Qt::StringLiterals;

class ActionRowTest final : public QObject {
    Q_OBJECT

private slots:
    void buttonStates_data()
    {
        QTest::addColumn<bool>("sourceFolders");
        QTest::addColumn<bool>("outputFolder");
        QTest::addColumn<int>("muxablePairs");
        QTest::addColumn<bool>("analyzing");
        QTest::addColumn<bool>("muxing");
        QTest::addColumn<bool>("cancelling");
        QTest::addColumn<bool>("analyzeEnabled");
        QTest::addColumn<bool>("analysisSpinner");
        QTest::addColumn<bool>("muxEnabled");
        QTest::addColumn<bool>("muxItems");
        QTest::addColumn<bool>("cancelEnabled");
        // An analysis keeps the sync option it started with, a mux run its pitch option and
        // its number of pairs at once. The cut repair turns the sync check on, so both lock it.
        QTest::addColumn<bool>("syncBoxEnabled");
        QTest::addColumn<bool>("muxOptionsEnabled");
        QTest::addColumn<bool>("cutRepairEnabled");

        // clang-format off
        //                                                 source output pairs  analyze mux   cancel |  analyze spinner mux   items cancel syncBox muxOpts cutRep
        QTest::newRow("no folder chosen")                  << false << false << 0 << false << false << false << false << false << false << false << true  << true  << true  << true;
        QTest::newRow("source folders, no output folder")  << true  << false << 3 << false << false << false << true  << false << false << false << true  << true  << true  << true;
        QTest::newRow("output folder, no muxable pair")    << true  << true  << 0 << false << false << false << true  << false << false << false << true  << true  << true  << true;
        QTest::newRow("muxable pairs, an output folder")   << true  << true  << 3 << false << false << false << true  << false << true  << false << true  << true  << true  << true;
        QTest::newRow("analysing")                         << true  << true  << 3 << true  << false << false << false << true  << false << false << true  << false << true  << false;
        QTest::newRow("muxing: analysing stays possible")  << true  << true  << 3 << false << true  << false << true  << false << false << true  << true  << true  << false << false;
        QTest::newRow("cancelling")                        << true  << true  << 3 << false << true  << true  << true  << false << false << true  << false << true  << false << false;
        // clang-format on
    }

    void buttonStates()
    {
        QFETCH(bool, sourceFolders);
        QFETCH(bool, outputFolder);
        QFETCH(int, muxablePairs);
        QFETCH(bool, analyzing);
        QFETCH(bool, muxing);
        QFETCH(bool, cancelling);

        ActionRow row;
        OptionsRow options;
        const ActionState state{.hasSourceFolders = sourceFolders,
                                .hasOutputFolder = outputFolder,
                                .muxablePairCount = muxablePairs,
                                .isAnalyzing = analyzing,
                                .isMuxing = muxing,
                                .isCancelling = cancelling};
        row.showState(state);
        options.showState(state);
        QTEST(row.analyzeButton()->isEnabled(), "analyzeEnabled");
        QTEST(row.analysisSpinner()->isVisibleTo(&row), "analysisSpinner");
        QTEST(row.muxButton()->isEnabled(), "muxEnabled");
        QTEST(row.muxItems()->isVisibleTo(&row), "muxItems");
        QTEST(row.cancelButton()->isEnabled(), "cancelEnabled");
        QTEST(options.syncCheckBox()->isEnabled(), "syncBoxEnabled");
        QTEST(options.pitchRestoreBox()->isEnabled(), "muxOptionsEnabled");
        QTEST(options.jobsBox()->isEnabled(), "muxOptionsEnabled");
        QTEST(options.cutRepairBox()->isEnabled(), "cutRepairEnabled");
    }

    // A spinner while the fraction is unknown, else a bar with its percentage; the remaining
    // time once it is a second or more, rounded to whole seconds.
    void muxProgress_data()
    {
        QTest::addColumn<std::optional<double>>("fraction");
        QTest::addColumn<std::optional<double>>("remainingSeconds");
        QTest::addColumn<QString>("percentShown");   // empty: a spinner instead of the bar
        QTest::addColumn<QString>("remainingShown"); // empty: not shown

        const std::optional<double> none, half = 0.5;
        const QString fifty = u"50\u00a0%"_s;
        QTest::newRow("fraction unknown: a spinner") << none << none << QString() << QString();
        QTest::newRow("a bar, the rounded percentage and 61.4 s left")
            << std::optional(0.375) << std::optional(61.4) << u"38\u00a0%"_s
            << u"Gesamtrestzeit: 1:01 min"_s;
        QTest::newRow("0.99 s is not shown, though it rounds to 1")
            << half << std::optional(0.99) << fifty << QString();
        QTest::newRow("1 s") << half << std::optional(1.0) << fifty << u"Gesamtrestzeit: 1 s"_s;
        QTest::newRow("59.5 s rounds up to a minute")
            << half << std::optional(59.5) << fifty << u"Gesamtrestzeit: 1:00 min"_s;
        QTest::newRow("NaN is not shown") << half << std::optional(qQNaN()) << fifty << QString();
    }

    void muxProgress()
    {
        QFETCH(std::optional<double>, fraction);
        QFETCH(std::optional<double>, remainingSeconds);
        QFETCH(QString, percentShown);
        ActionRow row;
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        row.showState(
            ActionState{.isMuxing = true, .muxFraction = fraction, .muxETA = remainingSeconds});
        QLocale::setDefault(QLocale::c());

        const auto shows = [&row](const QWidget *item) { return item->isVisibleTo(&row); };
        QCOMPARE(shows(row.muxSpinner()), percentShown.isEmpty());
        QCOMPARE(shows(row.progressBar()), !percentShown.isEmpty());
        QCOMPARE(shows(row.percentLabel()) ? row.percentLabel()->text() : QString(), percentShown);
        if (fraction)
            QCOMPARE(double(row.progressBar()->value()) / row.progressBar()->maximum(), *fraction);
        QTEST(shows(row.remainingTimeLabel()) ? row.remainingTimeLabel()->text() : QString(),
              "remainingShown");
    }

    // At the window's minimum width, with the longest texts of a parallel run an hour and more
    // from its end, every item of the action row shows whole, and a long folder path is
    // shortened in the middle. Registered at scale 1 and 2.
    void windowFitsAtTheMinimumWidth()
    {
        AppModel model;
        model.setPrimaryFolder(QUrl::fromLocalFile(u"/"_s + u"ein sehr langer Ordnername/"_s.repeated(20) +
                                                   u"Staffel 1"_s));
        ContentView view(model);
        view.resize(view.minimumSize());
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        ActionRow *row = view.actionRow();
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        row->showState(ActionState{.hasSourceFolders = true,
                                   .hasOutputFolder = true,
                                   .pairCount = 12,
                                   .muxablePairCount = 12,
                                   .isAnalyzing = true,
                                   .isMuxing = true,
                                   .muxProgress = u"S01E05, S01E06 (6 von 12)"_s,
                                   .muxFraction = 0.5,
                                   .muxETA = 165 * 60.0});
        QLocale::setDefault(QLocale::c());
        view.layout()->activate();
        QCOMPARE(row->remainingTimeLabel()->text(), u"Gesamtrestzeit: 165:00 min"_s);

        QCOMPARE(row->progressText()->text(), row->progressText()->fullText());
        const QRect shown = view.rect();
        for (QWidget *item : row->findChildren<QWidget *>()) {
            if (!item->isVisibleTo(&view) || item->inherits("ElidedLabel"))
                continue;
            const QRect place(item->mapTo(&view, QPoint(0, 0)), item->size());
            const QString what = QString::fromLatin1(item->metaObject()->className()) + u' ' +
                                 item->property("text").toString();
            QVERIFY2(shown.contains(place), qPrintable(what));
            QVERIFY2(item->width() >= item->sizeHint().width(), qPrintable(what));
        }

        // The options, the cut repair's box among them, fit in the row.
        const QWidget *options = view.optionsRow();
        QVERIFY2(options->sizeHint().width() <= options->width(),
                 qPrintable(QString::number(options->sizeHint().width())));

        const FolderRow *folder = view.folderRows()[0];
        const QString path = folder->pathLabel()->text();
        QVERIFY2(path.startsWith(u"/ein sehr") && path.contains(u'…') && path.endsWith(u"Staffel 1"),
                 qPrintable(path));
        const QPushButton *choose = folder->chooseButton();
        QVERIFY(shown.contains(QRect(choose->mapTo(&view, QPoint(0, 0)), choose->size())));
    }

    // The sign's place follows the locale; German sets it apart (see muxProgress).
    void percentSignInEnglish()
    {
        QCOMPARE(percentText(0.42, QLocale(QLocale::English, QLocale::UnitedStates)), u"42%"_s);
    }
};

QTEST_MAIN(ActionRowTest)
#include "tst_actionrow.moc"
