// The window's shared look: text colours, fonts and button styles.
#pragma once

#include <QColor>
#include <QFont>
#include <QLocale>
#include <QString>

class QLabel;
class QPushButton;

// Status and severity colours, readable on light and dark backgrounds.
QColor successColor();
QColor attentionColor();
QColor failureColor();

// Dims a label: the secondary text colour of the current palette.
void makeSecondary(QLabel *label);

// `font` if its digits already have equal widths, else the fixed-width system font at the
// same size: numbers that change while they are shown must not make the text jump.
QFont withTabularDigits(const QFont &font);

// The accent-filled style of the main action, and the style of a destructive one.
void makeProminent(QPushButton *button);
void makeDestructive(QPushButton *button);

// A fraction of 1 as a whole percentage in `locale`, with that language's place for the
// percent sign: "42 %" in German, "42%" in English.
QString percentText(double fraction, const QLocale &locale = QLocale());
