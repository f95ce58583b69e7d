#include "BusyIndicator.h"

#include "MainWindow.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QWindow>

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
    m_cancelButton.reset();
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

void BusyIndicator::offerCancel()
{
    if (!m_window || m_cancelButton || !m_window->isVisible())
        return;
    // Disabling the window disables every widget below it, so the button is a
    // small window of its own, kept above the status bar of the main window.
    m_cancelButton = std::make_unique<QPushButton>(QStringLiteral("Отменить"));
    QPushButton* button = m_cancelButton.get();
    button->setObjectName(QStringLiteral("cancelLoadingButton"));
    button->setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    button->setAttribute(Qt::WA_ShowWithoutActivating);
    QObject::connect(button, &QPushButton::clicked, m_window.data(), &MainWindow::on_cancelLoading);
    // One request is enough; the command stops after the table it is reading.
    QObject::connect(button, &QPushButton::clicked, button, [button] { button->setEnabled(false); });

    QStatusBar* bar = m_window->statusBar();
    const QRect area(bar->mapToGlobal(QPoint(0, 0)), bar->size());
    const QSize hint = button->sizeHint();
    const int height = qMin(hint.height(), area.height());
    const int right = area.right() - m_window->m_progressBar->width() - 12;
    button->setGeometry(right - hint.width(), area.top() + (area.height() - height) / 2, hint.width(), height);

    button->winId();
    if (QWindow* own = button->windowHandle())
        own->setTransientParent(m_window->windowHandle());
    button->show();
}
