#include "BusyIndicator.h"

#include "MainWindow.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>

namespace {

MainWindow* findMainWindow()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget* widget : windows) {
        if (auto* window = qobject_cast<MainWindow*>(widget))
            return window;
    }
    return nullptr;
}

} // namespace

BusyIndicator::BusyIndicator(const QString& message)
    : m_window(findMainWindow())
{
    if (!m_window)
        return;
    ++m_window->m_busyDepth;
    m_window->setEnabled(false);
    m_window->m_statusLabel->setText(message);
    m_window->m_progressBar->setTextVisible(false);
    m_window->m_progressBar->setRange(0, 0);
    m_window->m_progressBar->show();
}

BusyIndicator::~BusyIndicator()
{
    if (!m_window)
        return;
    // An indicator started inside another one leaves the window to the outer one.
    if (--m_window->m_busyDepth > 0)
        return;
    m_window->setEnabled(true);
    m_window->m_progressBar->hide();
}

void BusyIndicator::setRange(int minimum, int maximum)
{
    if (!m_window)
        return;
    m_window->m_progressBar->setRange(minimum, maximum);
    m_window->m_progressBar->setTextVisible(true);
}

void BusyIndicator::setValue(int value)
{
    if (m_window)
        m_window->m_progressBar->setValue(value);
}
