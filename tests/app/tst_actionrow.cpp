#include "ActionRow.h"
#include "Appearance.h"
#include "Spinner.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// An action row that has been shown `state`.
struct ShownRow {
    explicit ShownRow(const ActionState &state) { row.showState(state); }

    bool shows(const QWidget *item) const { return item->isVisibleTo(&row); }

    ActionRow row;
};

ActionState muxingAt(std::optional<double> fraction, std::optional<double> eta = std::nullopt)
{
    return ActionState{.hasSourceFolders = true,
                       .hasOutputFolder = true,
                       .pairCount = 4,
                       .readyPairCount = 4,
                       .isMuxing = true,
                       .muxProgress = u"S01E02 (2 von 4)"_s,
                       .muxFraction = fraction,
                       .muxETA = eta};
}

} // namespace

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

        // clang-format off
        //                                                 source output ready  analyze mux   cancel |  analyze spinner mux   items cancel
        QTest::newRow("no folder chosen")                  << false << false << 0 << false << false << false << false << false << false << false << true;
        QTest::newRow("source folders, no output folder")  << true  << false << 3 << false << false << false << true  << false << false << false << true;
        QTest::newRow("output folder, no ready pair")      << true  << true  << 0 << false << false << false << true  << false << false << false << true;
        QTest::newRow("ready pairs and an output folder")  << true  << true  << 3 << false << false << false << true  << false << true  << false << true;
        QTest::newRow("analysing")                         << true  << true  << 3 << true  << false << false << false << true  << false << false << true;
        QTest::newRow("muxing: analysing stays possible")  << true  << true  << 3 << false << true  << false << true  << false << false << true  << true;
        QTest::newRow("cancelling")                        << true  << true  << 3 << false << true  << true  << true  << false << false << true  << false;
        QTest::newRow("analysing while muxing")            << true  << true  << 3 << true  << true  << false << false << true  << false << true  << true;
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

        const ShownRow shown(ActionState{.hasSourceFolders = sourceFolders,
                                         .hasOutputFolder = outputFolder,
                                         .pairCount = readyPairs + 1,
                                         .readyPairCount = readyPairs,
                                         .isAnalyzing = analyzing,
                                         .isMuxing = muxing,
                                         .isCancelling = cancelling,
                                         .muxProgress = u"S01E01 (1 von 3)"_s});
        const ActionRow &row = shown.row;
        QTEST(row.analyzeButton()->isEnabled(), "analyzeEnabled");
        QTEST(shown.shows(row.analysisSpinner()), "analysisSpinner");
        QTEST(row.muxButton()->isEnabled(), "muxEnabled");
        QTEST(shown.shows(row.muxItems()), "muxItems");
        QTEST(row.cancelButton()->isEnabled(), "cancelEnabled");
    }

    void progressWithoutFractionIsASpinner()
    {
        const ShownRow shown(muxingAt(std::nullopt));
        QCOMPARE(shown.row.progressText()->text(), u"S01E02 (2 von 4)"_s);
        QVERIFY(shown.shows(shown.row.muxSpinner()));
        QVERIFY(!shown.shows(shown.row.progressBar()));
        QVERIFY(!shown.shows(shown.row.percentLabel()));
    }

    void progressWithFractionIsABarAndPercentage()
    {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        const ShownRow shown(muxingAt(0.375));
        QLocale::setDefault(QLocale::c());

        QVERIFY(!shown.shows(shown.row.muxSpinner()));
        QVERIFY(shown.shows(shown.row.progressBar()));
        const QProgressBar *bar = shown.row.progressBar();
        QCOMPARE(double(bar->value()) / bar->maximum(), 0.375);
        QCOMPARE(shown.row.percentLabel()->text(), u"38\u00a0%"_s);
    }

    void remainingTime_data()
    {
        QTest::addColumn<double>("seconds");
        QTest::addColumn<QString>("shown"); // empty: not shown

        QTest::newRow("0.4 s is not shown") << 0.4 << QString();
        QTest::newRow("59.5 s") << 59.5 << u"Gesamtrestzeit: 1:00 min"_s;
        QTest::newRow("61 s") << 61.0 << u"Gesamtrestzeit: 1:01 min"_s;
    }

    void remainingTime()
    {
        QFETCH(double, seconds);
        QFETCH(QString, shown);
        const ShownRow row(muxingAt(0.5, seconds));
        const QLabel *label = row.row.remainingTimeLabel();
        QCOMPARE(row.shows(label), !shown.isEmpty());
        if (!shown.isEmpty())
            QCOMPARE(label->text(), shown);
    }

    void noRemainingTimeWithoutAnEstimate()
    {
        const ShownRow row(muxingAt(0.5, std::nullopt));
        QVERIFY(!row.shows(row.row.remainingTimeLabel()));
    }

    void percentage_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<double>("fraction");
        QTest::addColumn<QString>("shown");

        const QLocale german(QLocale::German, QLocale::Germany);
        const QLocale english(QLocale::English, QLocale::UnitedStates);
        QTest::newRow("German: a space before the sign") << german << 0.42 << u"42\u00a0%"_s;
        QTest::newRow("German: no decimals") << german << 0.4249 << u"42\u00a0%"_s;
        QTest::newRow("German: all done") << german << 1.0 << u"100\u00a0%"_s;
        QTest::newRow("English: the sign right after") << english << 0.42 << u"42%"_s;
        QTest::newRow("English: nothing done yet") << english << 0.0 << u"0%"_s;
    }

    void percentage()
    {
        QFETCH(QLocale, locale);
        QFETCH(double, fraction);
        QTEST(percentText(fraction, locale), "shown");
    }
};

QTEST_MAIN(ActionRowTest)
#include "tst_actionrow.moc"
