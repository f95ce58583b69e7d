#pragma once

#include "device/ProgressReporter.h"

#include <QByteArray>
#include <QString>

// How far a read or a write is, as one line on standard error that redraws
// itself in place: the engine's text (the table and the rows done, of how
// many when that is known), the rows a second and, with a known end, the
// time left. Only on a terminal and not with --quiet: a file or a pipe that
// takes standard error gets nothing of it. Redrawn at most 10 times a second.
class ProgressLine : public ProgressReporter
{
public:
    // Draws on the file descriptor fd when it is a terminal and quiet is false.
    ProgressLine(int fd, bool quiet, const Clock& clock = Clock::steady());
    ~ProgressLine() override;
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    // A range starts a table (or a write): the rate is measured from here.
    void setRange(int minimum, int maximum) override;
    void setValue(int value) override;
    void setText(const QString& text) override;

    // Takes the line away, so that the next message starts on a clean line.
    void clear();

    // Whether the line is drawn at all.
    bool drawn() const { return m_fd >= 0; }

    // "Клише: строка 3 из 6 — 120 строк/с, осталось 0:01"; without a known end
    // (total 0) the time left is left out, before a row or a millisecond the rate too.
    static QString format(const QString& text, int done, int total, qint64 elapsedMs);

    static constexpr qint64 RedrawInterval = 100;

private:
    void draw();

    int m_fd;
    int m_total = 0;
    int m_done = 0;
    QString m_text;
    qint64 m_started;
    qint64 m_lastDrawn;
    bool m_onScreen = false;
};
