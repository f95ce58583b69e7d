#pragma once

#include <QStringList>

class CommandHost;
class RegisterSession;

// After a command wrote tables behind the tabs' backs (a revert, a restore):
// the tabs of those tables are read again from the register, when they show
// that register, so that what they treat as read is what it holds. Edits not
// written yet stay, marked, over the values read, unless the command drops
// them; a tab filled from a file shows the file and stays as it is.
class TabReread
{
public:
    enum class Edits
    {
        Keep,
        Drop,
    };

    // tables: the numbers of the tables written. Raises FlowFailure.
    static void run(CommandHost& host, const RegisterSession& session, const QStringList& tables,
                    Edits edits = Edits::Keep);
    // The tabs that run() reads again and whose unwritten edits it would drop.
    static QList<int> editedTabs(CommandHost& host, const RegisterSession& session);
};
