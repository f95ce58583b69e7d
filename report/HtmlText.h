#pragma once

#include <QString>

// Text put into a report's HTML: markup characters as entities, control
// characters shown as "\x1b" (no markup, no script and no character an XML
// reader refuses can come in through a journal's or a snapshot's texts).
class HtmlText
{
public:
    static QString of(const QString& text);
};
