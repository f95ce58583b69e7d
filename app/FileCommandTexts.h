#pragma once

#include <QString>

// Texts that the export and the import commands share.
namespace FileCommandTexts {

inline QString csvFilter()
{
    return QStringLiteral("Файлы CSV (*.csv);;Все файлы (*)");
}

inline QString cancelled()
{
    return QStringLiteral("Операция была отменена");
}

inline QString wait()
{
    return QStringLiteral("Подождите...");
}

inline QString fileNameOf(const QString& path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

} // namespace FileCommandTexts
