// The command line's arguments as parsed, and its usage text.
#pragma once

#include <QStringList>

#include <optional>

// What the command line asked for. Options come before or after the command; "--" ends them,
// so folders whose names begin with "-" can still be given.
struct CliArguments {
    enum class Command { help, analyze, plan, mux };

    Command command = Command::help;
    bool json = false;
    bool syncCheck = false;    // also measure the offset of the German audio
    bool restorePitch = false; // convert PAL German audio to film speed and pitch
    bool repairCuts = false;   // splice the German audio at measured cuts; implies syncCheck
    int jobs = 1;              // pairs muxed at once; 0: one per processor core
    QStringList folders;       // folder 1, folder 2 and, for plan and mux, the output folder
};

// The parsed arguments, or the German usage error to print.
struct CliParseResult {
    std::optional<CliArguments> arguments;
    QString error;
};

CliParseResult parseCliArguments(const QStringList &arguments); // without the program name

constexpr int maximumJobs = 64;

QString usageText();
