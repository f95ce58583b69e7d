#pragma once

#include "device/ProgressReporter.h"

#include <QPointer>
#include <QPushButton>
#include <QString>

class CommandHost;
class CommandProgress;

// Scoped busy state of a command: holds the window's progress (which disables
// the window's controls and shows the bar) and shows the message in the status
// bar. The read and write engines report their progress through it.
class BusyIndicator : public ProgressReporter
{
public:
    // Paced by `clock` (see ProgressReporter), which must outlive the indicator.
    BusyIndicator(CommandHost& host, const QString& message, const Clock& clock = Clock::steady());
    ~BusyIndicator() override;
    BusyIndicator(const BusyIndicator&) = delete;
    BusyIndicator& operator=(const BusyIndicator&) = delete;

    void setRange(int minimum, int maximum) override;
    void setValue(int value) override;
    // Shows the text on the progress bar, which widens to hold it.
    void setText(const QString& text) override;

    // Shows a "Отменить" button beside the progress bar until this indicator ends;
    // a click asks this indicator to stop (cancelRequested()), as does the
    // connection's requestCancel() meanwhile (KKT_Logic::cancelRequested()).
    void offerCancel();

private:
    // The window (and its progress) may go before the command that holds it.
    QPointer<CommandProgress> m_progress;
    QPointer<QPushButton> m_cancelButton;
    bool m_ranged = false;
    bool m_offered = false;
    // The indicator that could stop before this one offered to.
    ProgressReporter* m_outerCancellable = nullptr;
};
