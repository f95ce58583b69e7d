#include "ProgramIcon.h"

// Outside every namespace, as Qt's resource initialisation asks.
static void loadIconResource()
{
    Q_INIT_RESOURCE(icons);
}

QIcon ProgramIcon::icon()
{
    // The resource lives in a static library: it is registered on first use.
    static const bool loaded = (loadIconResource(), true);
    Q_UNUSED(loaded)
    return QIcon(QStringLiteral(":/vescor.svg"));
}
