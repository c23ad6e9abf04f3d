// Starting the program: application names, icon, translations, model and window.
#include "SpurenflechterApp.h"

#include "ContentView.h"

#include <QGuiApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QScreen>

SpurenflechterApp::SpurenflechterApp(int &argc, char **argv) : m_application(argc, argv)
{
    QApplication::setApplicationName(name.toString());
    QApplication::setApplicationDisplayName(name.toString());
    QApplication::setApplicationVersion(QStringLiteral(SPURENFLECHTER_VERSION));
    QGuiApplication::setDesktopFileName(desktopId.toString());
    QApplication::setWindowIcon(
        QIcon::fromTheme(desktopId.toString(), QIcon(QStringLiteral(":/icons/app.svg"))));

    // Qt's own dialogs and buttons in the system language: a German system gets a German
    // folder chooser. Without the translation files they stay English.
    if (m_qtTranslator.load(QLocale(), QStringLiteral("qtbase"), QStringLiteral("_"),
                            QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&m_qtTranslator);

    m_window = std::make_unique<ContentView>(m_model);
    m_window->setWindowTitle(name.toString());
    QSize size(1000, 700);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        size = size.boundedTo(screen->availableSize());
    m_window->resize(size.expandedTo(m_window->minimumSize()));
}

SpurenflechterApp::~SpurenflechterApp() = default;

int SpurenflechterApp::exec()
{
    m_window->show();
    return QApplication::exec();
}
