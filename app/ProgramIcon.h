#pragma once

#include <QIcon>

// The program's icon, the one the menu entry shows, for its windows.
class ProgramIcon
{
public:
    static QIcon icon();
};
