#include "DelayedProgress.h"

#include <QApplication>
#include <QProgressBar>

namespace {

// How often a shown bar is repainted.
const int PaintEveryMs = 16;

} // namespace

DelayedProgress::DelayedProgress(QProgressBar* bar, int delayMs) : m_bar(bar), m_delayMs(delayMs)
{
    m_started.start();
}

DelayedProgress::~DelayedProgress()
{
    if (!m_shown)
        return;
    QApplication::restoreOverrideCursor();
    if (m_bar)
        m_bar->hide();
}

void DelayedProgress::setRange(int minimum, int maximum)
{
    m_minimum = minimum;
    m_maximum = maximum;
    update();
}

void DelayedProgress::setValue(int value)
{
    m_value = value;
    update();
}

void DelayedProgress::update()
{
    if (!m_shown) {
        if (!m_bar || !m_started.hasExpired(m_delayMs))
            return;
        m_shown = true;
        QApplication::setOverrideCursor(Qt::WaitCursor);
        m_bar->show();
    } else if (!m_painted.hasExpired(PaintEveryMs)) {
        return;
    }
    if (m_bar) {
        m_bar->setRange(m_minimum, m_maximum);
        m_bar->setValue(m_value);
    }
    m_painted.start();
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}
