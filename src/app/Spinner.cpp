// The spinner's ring of dots and the timer that turns it.
#include "Spinner.h"

#include <QPainter>

namespace {
constexpr int dotCount = 8;
}

Spinner::Spinner(QWidget *parent) : QWidget(parent)
{
    setFixedSize(sizeHint());
    m_timer.setInterval(100);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        m_step = (m_step + 1) % dotCount;
        update();
    });
}

void Spinner::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.translate(width() / 2.0, height() / 2.0);
    const qreal radius = qMin(width(), height()) / 2.0;
    const qreal dot = radius / 4.0;
    QColor color = palette().color(QPalette::WindowText);
    for (int i = 0; i < dotCount; ++i) {
        // The dot at the current step is the darkest; the ones behind it fade out.
        const int age = (m_step - i + dotCount) % dotCount;
        color.setAlphaF(1.0 - age * 0.8 / dotCount);
        painter.setBrush(color);
        painter.save();
        painter.rotate(i * 360.0 / dotCount);
        painter.drawEllipse(QPointF(0, -(radius - dot)), dot, dot);
        painter.restore();
    }
}

void Spinner::showEvent(QShowEvent *event)
{
    m_timer.start();
    QWidget::showEvent(event);
}

void Spinner::hideEvent(QHideEvent *event)
{
    m_timer.stop();
    QWidget::hideEvent(event);
}
