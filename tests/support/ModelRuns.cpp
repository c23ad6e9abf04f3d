// Driving the application model in tests: its folders set, its runs awaited.
#include "ModelRuns.h"

#include <QSignalSpy>

std::unique_ptr<AppModel> modelFor(const QString &primary, const QString &localized,
                                   ToolLocations tools)
{
    auto model = std::make_unique<AppModel>(std::move(tools));
    model->setPrimaryFolder(QUrl::fromLocalFile(primary));
    model->setLocalizedFolder(QUrl::fromLocalFile(localized));
    return model;
}

bool runAnalysis(AppModel &model)
{
    QSignalSpy finished(&model, &AppModel::analysisFinished);
    model.analyze();
    return !finished.isEmpty() || finished.wait(120000);
}

bool runMux(AppModel &model)
{
    QSignalSpy finished(&model, &AppModel::muxFinished);
    model.startMux();
    return finished.wait(60000);
}
