// A one-line label for long paths, elided in the middle.
#pragma once

#include <QLabel>

// A one-line label that shortens its text in the middle with an ellipsis when the text does
// not fit, and shows the whole text as its tooltip. It can shrink to almost nothing, so the
// widgets beside it always keep their room.
class ElidedLabel final : public QLabel {
    Q_OBJECT

public:
    explicit ElidedLabel(QWidget *parent = nullptr);

    void setFullText(const QString &text);
    QString fullText() const { return m_fullText; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void elide();

    QString m_fullText;
};
