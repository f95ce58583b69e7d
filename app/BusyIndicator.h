#pragma once

#include "device/ProgressReporter.h"

#include <QPointer>
#include <QString>

#include <memory>

class MainWindow;
class QPushButton;

// Scoped busy state of the main window: disables it and shows the progress bar.
// The write engine reports its progress through it.
class BusyIndicator : public ProgressReporter
{
public:
    explicit BusyIndicator(const QString& message);
    ~BusyIndicator() override;
    BusyIndicator(const BusyIndicator&) = delete;
    BusyIndicator& operator=(const BusyIndicator&) = delete;

    void setRange(int minimum, int maximum) override;
    void setValue(int value) override;

    // Shows a "Отменить" button over the status bar that stays usable while
    // the window is disabled; a click calls the window's on_cancelLoading().
    // The button goes when this indicator ends.
    void offerCancel();

private:
    QPointer<MainWindow> m_window;
    std::unique_ptr<QPushButton> m_cancelButton;
};
