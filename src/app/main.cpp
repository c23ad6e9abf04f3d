#include <QCoreApplication>
#include <QTextStream>

// The window is not built yet; until then the application says so and ends.
int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream(stderr) << QStringLiteral("Das Fenster von Spurenflechter ist noch nicht fertig. "
                                          "Bis dahin: spurenflechter-cli --help\n");
    return 0;
}
