#pragma once

#include <QPointer>
#include <QString>

class MainWindow;

// Scoped busy state of the main window: disables it and shows the progress bar.
class BusyIndicator
{
public:
    explicit BusyIndicator(const QString& message);
    ~BusyIndicator();
    BusyIndicator(const BusyIndicator&) = delete;
    BusyIndicator& operator=(const BusyIndicator&) = delete;

    void setRange(int minimum, int maximum);
    void setValue(int value);

private:
    QPointer<MainWindow> m_window;
};
