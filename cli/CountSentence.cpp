#include "CountSentence.h"

#include "common/RussianPlural.h"

QString CountSentence::cellsInTables(const QString& lead, const QString& participleOne,
                                     const QString& participleOther, qulonglong cells, qulonglong tables)
{
    const QString participle = RussianPlural::choose(cells, participleOne, participleOther, participleOther);
    return QStringLiteral("%1 %2 %3 в %4")
        .arg(lead, participle,
             RussianPlural::count(cells, QStringLiteral("ячейка"), QStringLiteral("ячейки"), QStringLiteral("ячеек")),
             RussianPlural::count(tables, QStringLiteral("таблице"), QStringLiteral("таблицах"),
                                  QStringLiteral("таблицах")));
}
