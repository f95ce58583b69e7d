#pragma once

#include <QApplication>

// The application of a benchmark that shows windows: offscreen unless a
// platform is asked for (QT_QPA_PLATFORM), so that it runs without a
// display, and with its log silenced, so that log lines do not weigh on the
// timings.
class BenchApplication : public QApplication
{
public:
    BenchApplication(int& argc, char** argv);
};
