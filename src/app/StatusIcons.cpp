// Status and severity icons, tinted from the icon theme or from the bundled ones.
#include "StatusIcons.h"

#include "Appearance.h"

#include <QHash>
#include <QIconEngine>
#include <QPainter>

namespace {

class TintedIconEngine final : public QIconEngine {
public:
    TintedIconEngine(QIcon source, QColor color) : m_source(std::move(source)), m_color(color) {}

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override
    {
        const qreal scale = painter->device()->devicePixelRatioF();
        QPixmap image = scaledPixmap(rect.size(), mode, state, scale);
        painter->drawPixmap(rect, image);
    }

    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        return scaledPixmap(size, mode, state, 1.0);
    }

    QPixmap scaledPixmap(const QSize &size, QIcon::Mode mode, QIcon::State state,
                         qreal scale) override
    {
        const QSize pixels = size * scale;
        const QString key = QStringLiteral("%1x%2-%3-%4")
                                .arg(pixels.width())
                                .arg(pixels.height())
                                .arg(int(mode))
                                .arg(int(state));
        QPixmap image = m_cache.value(key);
        if (image.isNull()) {
            image = m_source.pixmap(pixels, 1.0, QIcon::Normal, state);
            if (image.isNull())
                return image;
            QPainter painter(&image);
            painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
            QColor color = m_color;
            if (mode == QIcon::Disabled)
                color.setAlphaF(0.4);
            painter.fillRect(image.rect(), color);
            painter.end();
            m_cache.insert(key, image);
        }
        image.setDevicePixelRatio(scale);
        return image;
    }

    QIconEngine *clone() const override { return new TintedIconEngine(m_source, m_color); }

private:
    QIcon m_source;
    QColor m_color;
    QHash<QString, QPixmap> m_cache;
};

QIcon themedOrBundled(const QString &themeName, const QString &bundledFile)
{
    if (QIcon::hasThemeIcon(themeName))
        return QIcon::fromTheme(themeName);
    return QIcon(QStringLiteral(":/icons/") + bundledFile);
}

} // namespace

QIcon tintedIcon(const QIcon &source, const QColor &color)
{
    return QIcon(new TintedIconEngine(source, color));
}

QIcon statusIcon(PairStatus status)
{
    if (status == PairStatus::ready) {
        return tintedIcon(themedOrBundled(QStringLiteral("emblem-ok-symbolic"),
                                          QStringLiteral("status-ready.svg")),
                          statusColor(status));
    }
    return tintedIcon(themedOrBundled(QStringLiteral("dialog-warning-symbolic"),
                                      QStringLiteral("status-attention.svg")),
                      statusColor(status));
}

QColor statusColor(PairStatus status)
{
    return status == PairStatus::ready ? successColor() : attentionColor();
}

QIcon severityIcon(AnalysisIssueSeverity severity)
{
    switch (severity) {
    case AnalysisIssueSeverity::information:
        return tintedIcon(themedOrBundled(QStringLiteral("dialog-information-symbolic"),
                                          QStringLiteral("issue-information.svg")),
                          severityColor(severity));
    case AnalysisIssueSeverity::warning:
        return tintedIcon(themedOrBundled(QStringLiteral("dialog-warning-symbolic"),
                                          QStringLiteral("issue-warning.svg")),
                          severityColor(severity));
    case AnalysisIssueSeverity::error:
        break;
    }
    return tintedIcon(
        themedOrBundled(QStringLiteral("dialog-error-symbolic"), QStringLiteral("issue-error.svg")),
        severityColor(severity));
}

QColor severityColor(AnalysisIssueSeverity severity)
{
    return severity == AnalysisIssueSeverity::error ? failureColor() : attentionColor();
}
