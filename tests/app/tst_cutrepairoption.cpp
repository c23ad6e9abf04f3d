// The cut repair box keeps the sync check on and is locked while a run goes on.
#include "ActionRow.h"
#include "ContentView.h"
#include "model/AppModel.h"
#include "OptionsRow.h"

#include <QCheckBox>
#include <QTest>

using namespace Qt::StringLiterals;

// The cut repair needs the sync check's measurement: the box and the model keep them together.
class CutRepairOptionTest final : public QObject {
    Q_OBJECT

private slots:
    void repairNeedsTheSyncCheck()
    {
        AppModel model;
        ContentView view(model);
        QCheckBox *box = view.optionsRow()->cutRepairBox();
        QCOMPARE(box->text(), u"Schnitte ausgleichen (neu kodieren)"_s);
        QVERIFY(!model.isCutRepairEnabled());
        box->click();
        QVERIFY(model.isCutRepairEnabled() && model.isSyncCheckEnabled());
        QVERIFY(view.optionsRow()->syncCheckBox()->isChecked());
        view.optionsRow()->syncCheckBox()->click();
        QVERIFY(!model.isCutRepairEnabled() && !box->isChecked());
    }

    // It turns on the sync check, which a running analysis does not do, and a running mux
    // keeps the choice it started with.
    void lockedWhileARunReadsIt_data()
    {
        QTest::addColumn<bool>("analyzing");
        QTest::addColumn<bool>("muxing");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("idle") << false << false << true;
        QTest::newRow("analysing") << true << false << false;
        QTest::newRow("muxing") << false << true << false;
    }

    void lockedWhileARunReadsIt()
    {
        QFETCH(bool, analyzing);
        QFETCH(bool, muxing);
        OptionsRow options;
        options.showState(ActionState{.isAnalyzing = analyzing, .isMuxing = muxing});
        QTEST(options.cutRepairBox()->isEnabled(), "enabled");
    }
};

QTEST_MAIN(CutRepairOptionTest)
#include "tst_cutrepairoption.moc"
