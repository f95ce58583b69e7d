#include "CommandProgress.h"

#include <QPushButton>
#include <QStatusBar>

namespace {

constexpr int BarWidth = 200;

} // namespace

CommandProgress::CommandProgress(QStatusBar* statusBar)
    : m_statusBar(statusBar)
{
    setObjectName(QStringLiteral("m_progressBar"));
    setFixedSize(BarWidth, statusBar->height() / 2);
    hide();
    setTextVisible(false);
    statusBar->addPermanentWidget(this);
}

void CommandProgress::hold()
{
    if (m_holds++ == 0)
        emit busyChanged(true);
    setTextVisible(false);
    setFormat(QStringLiteral("%p%"));
    setFixedWidth(BarWidth);
    setRange(0, 0);
    show();
}

void CommandProgress::release()
{
    // A hold inside another one leaves the window to the outer one.
    if (m_holds == 0 || --m_holds > 0)
        return;
    emit busyChanged(false);
    hide();
    setFixedWidth(BarWidth);
}

void CommandProgress::showRange(int minimum, int maximum)
{
    setRange(minimum, maximum);
    setTextVisible(true);
}

void CommandProgress::showText(const QString& text)
{
    // A bar without a range shows no text: it becomes an empty bar that does.
    if (minimum() == 0 && maximum() == 0) {
        setRange(0, 1);
        setValue(0);
    }
    setFormat(text);
    setTextVisible(true);
    const int wanted = fontMetrics().horizontalAdvance(text) + 2 * fontMetrics().height();
    if (wanted > width())
        setFixedWidth(qMin(wanted, window()->width() / 3));
}

QPushButton* CommandProgress::cancelButton()
{
    if (!window()->isVisible())
        return nullptr;
    auto* shown = new QPushButton(QStringLiteral("Отменить"));
    shown->setObjectName(QStringLiteral("cancelLoadingButton"));
    connect(shown, &QPushButton::clicked, this, &CommandProgress::cancelRequested);
    // One request is enough; the engines stop at the next cell.
    connect(shown, &QPushButton::clicked, shown, [shown] { shown->setEnabled(false); });
    shown->setMaximumHeight(qMax(m_statusBar->height() - 2, shown->fontMetrics().height() + 4));
    m_statusBar->addPermanentWidget(shown);
    shown->show();
    return shown;
}
