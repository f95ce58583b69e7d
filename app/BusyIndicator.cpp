#include "BusyIndicator.h"

#include "MainWindow.h"
#include "StatusLabel.h"

#include <QApplication>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>

namespace {

constexpr int BarWidth = 200;

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
    m_window->setBusy(true);
    m_window->setStatusText(message);
    QProgressBar* bar = m_window->m_progressBar;
    bar->setTextVisible(false);
    bar->setFormat(QStringLiteral("%p%"));
    bar->setFixedWidth(BarWidth);
    bar->setRange(0, 0);
    bar->show();
}

BusyIndicator::~BusyIndicator()
{
    m_cancelButton.reset();
    if (!m_window)
        return;
    if (m_window->m_cancellable == this)
        m_window->m_cancellable = nullptr;
    // An indicator started inside another one leaves the window to the outer one.
    if (--m_window->m_busyDepth > 0)
        return;
    m_window->setBusy(false);
    m_window->m_progressBar->hide();
    m_window->m_progressBar->setFixedWidth(BarWidth);
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

void BusyIndicator::setText(const QString& text)
{
    if (!m_window)
        return;
    QProgressBar* bar = m_window->m_progressBar;
    // A bar without a range shows no text: it becomes an empty bar that does.
    if (bar->minimum() == 0 && bar->maximum() == 0) {
        bar->setRange(0, 1);
        bar->setValue(0);
    }
    bar->setFormat(text);
    bar->setTextVisible(true);
    const int wanted = bar->fontMetrics().horizontalAdvance(text) + 2 * bar->fontMetrics().height();
    if (wanted > bar->width())
        bar->setFixedWidth(qMin(wanted, m_window->width() / 3));
}

void BusyIndicator::offerCancel()
{
    if (!m_window || m_cancelButton || !m_window->isVisible())
        return;
    m_cancelButton = std::make_unique<QPushButton>(QStringLiteral("Отменить"));
    QPushButton* button = m_cancelButton.get();
    m_window->m_cancellable = this;
    button->setObjectName(QStringLiteral("cancelLoadingButton"));
    QObject::connect(button, &QPushButton::clicked, m_window.data(), &MainWindow::on_cancelLoading);
    // One request is enough; the engines stop at the next cell.
    QObject::connect(button, &QPushButton::clicked, button, [button] { button->setEnabled(false); });
    QStatusBar* bar = m_window->statusBar();
    button->setMaximumHeight(qMax(bar->height() - 2, button->fontMetrics().height() + 4));
    bar->addPermanentWidget(button);
    button->show();
}
