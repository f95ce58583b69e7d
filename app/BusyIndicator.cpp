#include "BusyIndicator.h"

#include "CommandHost.h"
#include "CommandProgress.h"

#include "device/KKT_Logic.h"

BusyIndicator::BusyIndicator(CommandHost& host, const QString& message, const Clock& clock)
    : ProgressReporter(clock)
    , m_progress(&host.progress())
{
    m_progress->hold();
    host.setStatusText(message);
}

BusyIndicator::~BusyIndicator()
{
    delete m_cancelButton;
    if (m_offered)
        KKT_Logic::instance().lendCancel(m_outerCancellable);
    if (m_progress)
        m_progress->release();
}

void BusyIndicator::setRange(int minimum, int maximum)
{
    m_ranged = maximum > minimum;
    if (m_progress)
        m_progress->showRange(minimum, maximum);
}

void BusyIndicator::setValue(int value)
{
    // Without a range the bar shows the text alone, not a value it cannot place.
    if (m_progress && m_ranged)
        m_progress->setValue(value);
}

void BusyIndicator::setText(const QString& text)
{
    if (m_progress)
        m_progress->showText(text);
}

void BusyIndicator::offerCancel()
{
    if (m_offered)
        return;
    m_offered = true;
    // The window's on_cancelLoading() reaches this indicator through the connection.
    m_outerCancellable = KKT_Logic::instance().lendCancel(this);
    if (!m_progress)
        return;
    m_cancelButton = m_progress->cancelButton();
    // The button goes with this indicator, and the connection with it.
    if (m_cancelButton)
        QObject::connect(m_cancelButton.data(), &QPushButton::clicked, m_cancelButton.data(),
                         [this] { requestCancel(); });
}
