#include "CliArguments.h"

QString usageText()
{
    return QStringLiteral(
        "Aufruf: spurenflechter-cli [--json] analyze ORDNER1 ORDNER2\n"
        "\n"
        "Ordnet die Episoden zweier Ordner einander zu, liest ihre Spuren und meldet,\n"
        "was beim Muxen geschähe. ORDNER1 enthält die Fassung mit Bild und englischem Ton,\n"
        "ORDNER2 die deutsche Fassung.\n"
        "\n"
        "Ausgabe: eine Zeile je Paar (Episode, Datei aus Ordner 1, Datei aus Ordner 2,\n"
        "Ausgabedatei, Status; durch Tabulatoren getrennt), eine Leerzeile, dann die Hinweise.\n"
        "\n"
        "Optionen:\n"
        "  --json    Ergebnis als ein JSON-Dokument ausgeben\n"
        "  --help    Diese Hilfe anzeigen\n"
        "\n"
        "Exit-Status: 0 ohne Fehler, 1 bei mindestens einem Fehler, 2 bei falschem Aufruf.\n");
}

CliParseResult parseCliArguments(const QStringList &arguments)
{
    CliArguments parsed;
    std::optional<QString> command;
    QStringList positional;
    bool optionsEnded = false;
    for (const QString &argument : arguments) {
        if (!optionsEnded && argument.startsWith(u'-')) {
            if (argument == u"--")
                optionsEnded = true;
            else if (argument == u"--json")
                parsed.json = true;
            else if (argument == u"--help" || argument == u"-h")
                return {CliArguments{}, {}};
            else
                return {std::nullopt, QStringLiteral("Unbekannte Option: %1").arg(argument)};
        } else if (!command) {
            command = argument;
        } else {
            positional << argument;
        }
    }

    if (!command)
        return {std::nullopt, QStringLiteral("Kein Befehl angegeben.")};
    if (*command != u"analyze")
        return {std::nullopt, QStringLiteral("Unbekannter Befehl: %1").arg(*command)};
    if (positional.size() != 2)
        return {std::nullopt, QStringLiteral("analyze erwartet genau zwei Ordner.")};
    parsed.command = CliArguments::Command::analyze;
    parsed.folders = positional;
    return {parsed, {}};
}
