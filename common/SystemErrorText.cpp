#include "SystemErrorText.h"

#include <cerrno>
#include <cstring>

QString SystemErrorText::of(int errorNumber)
{
    switch (errorNumber) {
    case ENOSPC:
        return QStringLiteral("нет места на устройстве");
    case EDQUOT:
        return QStringLiteral("превышена дисковая квота");
    case EACCES:
    case EPERM:
        return QStringLiteral("нет прав доступа");
    case EROFS:
        return QStringLiteral("файловая система только для чтения");
    case ENOENT:
        return QStringLiteral("нет такого файла или папки");
    case EISDIR:
        return QStringLiteral("это папка");
    case ENOTDIR:
        return QStringLiteral("часть пути не является папкой");
    case EIO:
        return QStringLiteral("ошибка ввода-вывода");
    case EFBIG:
        return QStringLiteral("файл слишком велик");
    case ENAMETOOLONG:
        return QStringLiteral("слишком длинное имя файла");
    case ELOOP:
        return QStringLiteral("слишком много символьных ссылок");
    case EPIPE:
        return QStringLiteral("читающая программа закрыла канал");
    default:
        return QString::fromLocal8Bit(std::strerror(errorNumber));
    }
}
