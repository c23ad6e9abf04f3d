// The window's colours, fonts, button styles and percent text.
#include "Appearance.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QLabel>
#include <QPushButton>

QColor successColor()
{
    return QColor(0x24, 0xa1, 0x48);
}

QColor attentionColor()
{
    return QColor(0xe0, 0x7b, 0x00);
}

QColor failureColor()
{
    return QColor(0xda, 0x1e, 0x28);
}

void makeSecondary(QLabel *label)
{
    // The placeholder role is the palette's dimmed text; a role, not a fixed colour, so the
    // label follows a change between light and dark palettes.
    label->setForegroundRole(QPalette::PlaceholderText);
}

QFont withTabularDigits(const QFont &font)
{
    const QFontMetricsF metrics(font);
    const qreal zeroWidth = metrics.horizontalAdvance(u'0');
    for (char16_t digit = u'1'; digit <= u'9'; ++digit) {
        if (!qFuzzyCompare(metrics.horizontalAdvance(QChar(digit)), zeroWidth)) {
            QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
            fixed.setPointSizeF(font.pointSizeF());
            return fixed;
        }
    }
    return font;
}

void makeProminent(QPushButton *button)
{
    // Active and inactive only: a disabled button keeps the style's disabled look.
    QPalette palette = button->palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::Button, palette.color(group, QPalette::Highlight));
        palette.setColor(group, QPalette::ButtonText,
                         palette.color(group, QPalette::HighlightedText));
    }
    button->setPalette(palette);
}

void makeDestructive(QPushButton *button)
{
    QPalette palette = button->palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive})
        palette.setColor(group, QPalette::ButtonText, failureColor());
    button->setPalette(palette);
}

QString percentText(double fraction, const QLocale &locale)
{
    const QString number = locale.toString(qRound(fraction * 100.0));
    // Qt knows the percent sign of a locale but not where it goes. These languages set it
    // apart with a no-break space (French with a narrow one) or put it first.
    switch (locale.language()) {
    case QLocale::German:
        if (locale.territory() == QLocale::Switzerland ||
            locale.territory() == QLocale::Liechtenstein)
            return number + locale.percent();
        return number + QChar(0x00a0) + locale.percent();
    case QLocale::French:
        return number + QChar(0x202f) + locale.percent();
    case QLocale::Spanish:
    case QLocale::Swedish:
    case QLocale::NorwegianBokmal:
    case QLocale::Danish:
    case QLocale::Finnish:
    case QLocale::Czech:
    case QLocale::Slovak:
    case QLocale::Russian:
        return number + QChar(0x00a0) + locale.percent();
    case QLocale::Turkish:
        return locale.percent() + number;
    default:
        return number + locale.percent();
    }
}
