#pragma once

#include "device/ProgressReporter.h"

#include <QElapsedTimer>
#include <QPointer>

class QProgressBar;

// A busy sign for work that is usually quick: the bar (and the wait cursor)
// appear only once the work has taken longer than a moment, and then the bar
// follows the progress, repainted a few times a second. The user's input
// waits until the work is done. Scoped: the bar hides again at the end.
class DelayedProgress : public ProgressReporter
{
public:
    explicit DelayedProgress(QProgressBar* bar, int delayMs = 200);
    ~DelayedProgress() override;
    DelayedProgress(const DelayedProgress&) = delete;
    DelayedProgress& operator=(const DelayedProgress&) = delete;

    void setRange(int minimum, int maximum) override;
    void setValue(int value) override;
    // Whether the bar has been shown.
    bool shown() const { return m_shown; }

private:
    void update();

    QPointer<QProgressBar> m_bar;
    int m_delayMs;
    int m_minimum = 0;
    int m_maximum = 0;
    int m_value = 0;
    bool m_shown = false;
    QElapsedTimer m_started;
    QElapsedTimer m_painted;
};
