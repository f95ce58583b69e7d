#pragma once

#include <QLabel>

// The message label of the status bar. Its text() is the whole message; it
// shows it on one line, elided where the room ends, with the whole message
// as its tooltip when it does not fit. It never widens the status bar, so the
// labels beside it stay in sight.
class StatusLabel : public QLabel
{
public:
    explicit StatusLabel(QWidget* parent = nullptr);

    // Sets the text and the tooltip that goes with it.
    void setMessage(const QString& text);
    // The one line shown for the current text and width.
    QString shownText() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void updateToolTip();
};
