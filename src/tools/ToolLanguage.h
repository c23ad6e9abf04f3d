// The language mkvmerge and mkvextract are told to speak.
#pragma once

#include <QProcessEnvironment>
#include <QStringList>

// Their warnings are recognised in English and German only. For a user whose language (the
// first set of LC_ALL, LC_MESSAGES and LANG) is another, the arguments that make them speak
// English; none otherwise, so a German system keeps German tool messages.
QStringList uiLanguageArguments(
    const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment());
