// A small turning ring of dots for work of unknown length.
#pragma once

#include <QTimer>
#include <QWidget>

// A small indeterminate progress indicator: a ring of dots that turns while it is shown.
class Spinner final : public QWidget {
    Q_OBJECT

public:
    explicit Spinner(QWidget *parent = nullptr);

    QSize sizeHint() const override { return QSize(16, 16); }

protected:
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    QTimer m_timer;
    int m_step = 0;
};
