#pragma once

#include "device/ProgressReporter.h"

#include <QPointer>
#include <QString>

#include <memory>

class MainWindow;
class QPushButton;

// Scoped busy state of the main window: disables its controls and shows the
// progress bar. The read and write engines report their progress through it.
class BusyIndicator : public ProgressReporter
{
public:
    explicit BusyIndicator(const QString& message);
    ~BusyIndicator() override;
    BusyIndicator(const BusyIndicator&) = delete;
    BusyIndicator& operator=(const BusyIndicator&) = delete;

    void setRange(int minimum, int maximum) override;
    void setValue(int value) override;
    // Shows the text on the progress bar, which widens to hold it.
    void setText(const QString& text) override;

    // Shows a "Отменить" button in the status bar beside the progress bar,
    // usable while the rest of the window is not; a click calls the window's
    // on_cancelLoading(), which asks this indicator to stop (cancelRequested()).
    // The button goes when this indicator ends.
    void offerCancel();

private:
    QPointer<MainWindow> m_window;
    std::unique_ptr<QPushButton> m_cancelButton;
};
