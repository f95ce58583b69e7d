#pragma once

#include <QProgressBar>

class QPushButton;
class QStatusBar;

// The progress part of the window's status bar, which the window owns and its
// commands hold through BusyIndicator: a bar that shows how far a command is
// and, when the command allows it, a "Отменить" button beside it. Holds may
// nest; the first one makes the window busy, the last release frees it.
class CommandProgress : public QProgressBar
{
    Q_OBJECT

public:
    // Adds itself, hidden, at the right end of the status bar.
    explicit CommandProgress(QStatusBar* statusBar);

    // The first hold shows the bar as busy, without a range or text.
    void hold();
    void release();

    // A range shows the bar's text.
    void showRange(int minimum, int maximum);
    // Shows the text on the bar, which widens to hold it (up to a third of the window).
    void showText(const QString& text);

    // A "Отменить" button in the status bar, usable while the rest of the
    // window is not; a click emits cancelRequested() once. The status bar owns
    // it; deleting it takes it away. nullptr while the window is not shown.
    QPushButton* cancelButton();

signals:
    // The window is busy from the first hold to the last release.
    void busyChanged(bool busy);
    void cancelRequested();

private:
    QStatusBar* m_statusBar;
    int m_holds = 0;
};
