// The desktop program: application object, model and main window.
#pragma once

#include "model/AppModel.h"

#include <QApplication>
#include <QTranslator>

#include <memory>

class ContentView;

// The program: the application object with Qt's translations for the system language, the
// one model, and the main window that shows it.
class SpurenflechterApp final {
public:
    static constexpr QStringView name = u"Spurenflechter";
    // The name of the desktop entry, the icon and the AppStream component.
    static constexpr QStringView desktopId = u"de.spurenflechter.Spurenflechter";

    SpurenflechterApp(int &argc, char **argv);
    ~SpurenflechterApp();

    // Shows the window and runs until the user quits.
    int exec();

    AppModel &model() { return m_model; }
    ContentView &window() { return *m_window; }

private:
    QApplication m_application;
    QTranslator m_qtTranslator;
    AppModel m_model;
    std::unique_ptr<ContentView> m_window;
};
