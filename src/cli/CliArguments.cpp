// The command line's arguments: parsing and the help text.
#include "CliArguments.h"

#include <algorithm>

QString usageText()
{
    return QStringLiteral(
        "Aufruf: spurenflechter-cli [--json] [--sync-check] analyze ORDNER1 ORDNER2\n"
        "        spurenflechter-cli [--json] [--sync-check] [--restore-pitch] [--repair-cuts]\n"
        "                           [--jobs N] plan ORDNER1 ORDNER2 AUSGABE\n"
        "        spurenflechter-cli [--json] [--sync-check] [--restore-pitch] [--repair-cuts]\n"
        "                           [--jobs N] mux ORDNER1 ORDNER2 AUSGABE\n"
        "\n"
        "ORDNER1 enthält die Fassung mit Bild und englischem Ton, ORDNER2 die deutsche\n"
        "Fassung. Die Dateien beider Ordner werden nach Episoden (S01E02) einander\n"
        "zugeordnet und ihre Spuren gelesen.\n"
        "\n"
        "  analyze   meldet, was beim Muxen geschähe; es wird nichts geschrieben.\n"
        "  plan      zeigt dazu für jedes bereite Paar die Spuren der Ausgabedatei in ihrer\n"
        "            Reihenfolge: Art, Sprache, Name, Standard und Erzwungen, Quelle, Zeit\n"
        "            (Streckung, Versatz) und Umwandlung; es wird nichts geschrieben.\n"
        "  mux       schreibt danach für jedes bereite Paar eine neue Matroska-Datei nach\n"
        "            AUSGABE: Bild und Englisch aus ORDNER1, Deutsch aus ORDNER2. Quelldateien\n"
        "            werden nie verändert, vorhandene Dateien nie überschrieben.\n"
        "\n"
        "Ausgabe: eine Zeile je Paar (Episode, Datei aus Ordner 1, Datei aus Ordner 2,\n"
        "Ausgabedatei, Status; durch Tabulatoren getrennt), eine Leerzeile, dann die Hinweise,\n"
        "Warnungen und Fehler der Analyse und des Muxens. Der Fortschritt steht auf der\n"
        "Standardfehlerausgabe. Strg+C bricht ab; die bis dahin erzielten Ergebnisse werden\n"
        "noch ausgegeben.\n"
        "\n"
        "Optionen:\n"
        "  --json        Ergebnis als ein JSON-Dokument ausgeben, mit den Messwerten\n"
        "                der Tonversatzprüfung\n"
        "  --sync-check  prüfen, ob die deutsche Tonspur zeitlich zum Bild passt; ein\n"
        "                gleichbleibender Versatz wird beim Muxen ausgeglichen\n"
        "  --restore-pitch\n"
        "                die deutschen Tonspuren einer PAL-Fassung mit ffmpeg auf Film-\n"
        "                geschwindigkeit und Originaltonhöhe bringen (neu kodiert, lückenlos)\n"
        "  --repair-cuts unterschiedlich geschnittene Fassungen ausgleichen: die deutschen\n"
        "                Tonspuren an den gemessenen Schnitten kürzen oder mit Stille füllen\n"
        "                (neu kodiert), die Untertitel folgen; schließt --sync-check ein\n"
        "  --jobs N      N Paare gleichzeitig muxen, 1 bis 64; 0: so viele wie Prozessorkerne.\n"
        "                Hilft mit schnellen Platten und mehreren Kernen; auf einer einzelnen\n"
        "                Festplatte ist 1, die Voreinstellung, oft am schnellsten\n"
        "  --help        Diese Hilfe anzeigen\n"
        "\n"
        "Exit-Status: 0 ohne Fehler, 1 bei mindestens einem Fehler, 2 bei falschem Aufruf,\n"
        "128 + Signalnummer nach Abbruch durch ein Signal (z. B. 130 bei Strg+C).\n");
}

namespace {

// The value of --jobs: a whole number from 0 to maximumJobs, in plain digits.
std::optional<int> jobsValue(const QString &text)
{
    const bool digitsOnly =
        !text.isEmpty() && text.size() <= 3 &&
        std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c >= u'0' && c <= u'9'; });
    if (!digitsOnly || text.toInt() > maximumJobs)
        return std::nullopt;
    return text.toInt();
}

} // namespace

CliParseResult parseCliArguments(const QStringList &arguments)
{
    CliArguments parsed;
    std::optional<QString> command;
    QStringList positional;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (!optionsEnded && argument.startsWith(u'-')) {
            if (argument == u"--")
                optionsEnded = true;
            else if (argument == u"--json")
                parsed.json = true;
            else if (argument == u"--sync-check")
                parsed.syncCheck = true;
            else if (argument == u"--restore-pitch")
                parsed.restorePitch = true;
            else if (argument == u"--repair-cuts")
                parsed.repairCuts = parsed.syncCheck = true;
            else if (argument == u"--jobs" || argument.startsWith(u"--jobs=")) {
                // "--jobs=4" as well as "--jobs 4", as other programs take a value.
                const bool joined = argument != u"--jobs";
                if (!joined && ++i == arguments.size())
                    return {std::nullopt, QStringLiteral("--jobs ohne Anzahl.")};
                const QString value = joined ? argument.sliced(7) : arguments.at(i);
                if (joined && value.isEmpty())
                    return {std::nullopt, QStringLiteral("--jobs ohne Anzahl.")};
                const std::optional<int> jobs = jobsValue(value);
                if (!jobs)
                    return {std::nullopt,
                            QStringLiteral("Ungültige Anzahl für --jobs: %1 (erlaubt: 0 bis %2, "
                                           "0 für die Zahl der Prozessorkerne)")
                                .arg(value)
                                .arg(maximumJobs)};
                parsed.jobs = *jobs;
            } else if (argument == u"--help" || argument == u"-h")
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
    if (*command == u"analyze") {
        if (positional.size() != 2)
            return {std::nullopt, QStringLiteral("analyze erwartet genau zwei Ordner.")};
        parsed.command = CliArguments::Command::analyze;
    } else if (*command == u"mux" || *command == u"plan") {
        if (positional.size() != 3)
            return {std::nullopt,
                    QStringLiteral("%1 erwartet zwei Quellordner und einen Ausgabeordner.")
                        .arg(*command)};
        parsed.command =
            *command == u"mux" ? CliArguments::Command::mux : CliArguments::Command::plan;
    } else {
        return {std::nullopt, QStringLiteral("Unbekannter Befehl: %1").arg(*command)};
    }
    parsed.folders = positional;
    return {parsed, {}};
}
