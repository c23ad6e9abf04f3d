#include "ActionRow.h"
#include "Appearance.h"
#include "Spinner.h"

#include <QCheckBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

using namespace Qt::StringLiterals;

class ActionRowTest final : public QObject {
    Q_OBJECT

private slots:
    void buttonStates_data()
    {
        QTest::addColumn<bool>("sourceFolders");
        QTest::addColumn<bool>("outputFolder");
        QTest::addColumn<int>("readyPairs");
        QTest::addColumn<bool>("analyzing");
        QTest::addColumn<bool>("muxing");
        QTest::addColumn<bool>("cancelling");
        QTest::addColumn<bool>("analyzeEnabled");
        QTest::addColumn<bool>("analysisSpinner");
        QTest::addColumn<bool>("muxEnabled");
        QTest::addColumn<bool>("muxItems");
        QTest::addColumn<bool>("cancelEnabled");
        // An analysis keeps the sync option it started with, a mux run its pitch option.
        QTest::addColumn<bool>("syncBoxEnabled");
        QTest::addColumn<bool>("pitchBoxEnabled");

        // clang-format off
        //                                                 source output ready  analyze mux   cancel |  analyze spinner mux   items cancel syncBox pitchBox
        QTest::newRow("no folder chosen")                  << false << false << 0 << false << false << false << false << false << false << false << true  << true  << true;
        QTest::newRow("source folders, no output folder")  << true  << false << 3 << false << false << false << true  << false << false << false << true  << true  << true;
        QTest::newRow("output folder, no ready pair")      << true  << true  << 0 << false << false << false << true  << false << false << false << true  << true  << true;
        QTest::newRow("ready pairs and an output folder")  << true  << true  << 3 << false << false << false << true  << false << true  << false << true  << true  << true;
        QTest::newRow("analysing")                         << true  << true  << 3 << true  << false << false << false << true  << false << false << true  << false << true;
        QTest::newRow("muxing: analysing stays possible")  << true  << true  << 3 << false << true  << false << true  << false << false << true  << true  << true  << false;
        QTest::newRow("cancelling")                        << true  << true  << 3 << false << true  << true  << true  << false << false << true  << false << true  << false;
        // clang-format on
    }

    void buttonStates()
    {
        QFETCH(bool, sourceFolders);
        QFETCH(bool, outputFolder);
        QFETCH(int, readyPairs);
        QFETCH(bool, analyzing);
        QFETCH(bool, muxing);
        QFETCH(bool, cancelling);

        ActionRow row;
        row.showState(ActionState{.hasSourceFolders = sourceFolders,
                                  .hasOutputFolder = outputFolder,
                                  .readyPairCount = readyPairs,
                                  .isAnalyzing = analyzing,
                                  .isMuxing = muxing,
                                  .isCancelling = cancelling});
        QTEST(row.analyzeButton()->isEnabled(), "analyzeEnabled");
        QTEST(row.analysisSpinner()->isVisibleTo(&row), "analysisSpinner");
        QTEST(row.muxButton()->isEnabled(), "muxEnabled");
        QTEST(row.muxItems()->isVisibleTo(&row), "muxItems");
        QTEST(row.cancelButton()->isEnabled(), "cancelEnabled");
        QTEST(row.syncCheckBox()->isEnabled(), "syncBoxEnabled");
        QTEST(row.pitchRestoreBox()->isEnabled(), "pitchBoxEnabled");
    }

    // A spinner while the fraction is unknown, else a bar with its percentage; the remaining
    // time once it is a second or more.
    void muxProgress_data()
    {
        QTest::addColumn<std::optional<double>>("fraction");
        QTest::addColumn<std::optional<double>>("remainingSeconds");
        QTest::addColumn<QString>("percentShown");   // empty: a spinner instead of the bar
        QTest::addColumn<QString>("remainingShown"); // empty: not shown

        const std::optional<double> none;
        QTest::newRow("fraction unknown: a spinner") << none << none << QString() << QString();
        QTest::newRow("a bar, the rounded percentage and 61 s left")
            << std::optional(0.375) << std::optional(61.0) << u"38\u00a0%"_s
            << u"Gesamtrestzeit: 1:01 min"_s;
        QTest::newRow("0.4 s left is not shown")
            << std::optional(0.5) << std::optional(0.4) << u"50\u00a0%"_s << QString();
    }

    void muxProgress()
    {
        QFETCH(std::optional<double>, fraction);
        QFETCH(std::optional<double>, remainingSeconds);
        QFETCH(QString, percentShown);
        QFETCH(QString, remainingShown);
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
        QCOMPARE(shows(row.remainingTimeLabel()) ? row.remainingTimeLabel()->text() : QString(),
                 remainingShown);
    }

    // The sign's place follows the locale; German sets it apart (see muxProgress).
    void percentSignInEnglish()
    {
        QCOMPARE(percentText(0.42, QLocale(QLocale::English, QLocale::UnitedStates)), u"42%"_s);
    }
};

QTEST_MAIN(ActionRowTest)
#include "tst_actionrow.moc"
