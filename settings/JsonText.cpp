#include "JsonText.h"

#include <QStringList>

#include <memory>
#include <string>

namespace {

// Deeper nesting is refused: the reader recurses once per level.
const int NestingLimit = 1000;

// jsoncpp lists its errors as "* Line 1, Column 2\n  Syntax error: ...\n":
// one line reads better in a status label and on standard error.
QString oneLine(const std::string& errors)
{
    QStringList parts;
    for (QString line : QString::fromStdString(errors).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        line = line.trimmed();
        if (line.startsWith(QLatin1String("* ")))
            line.remove(0, 2);
        if (!line.isEmpty())
            parts << line;
    }
    return parts.join(QLatin1Char(' '));
}

} // namespace

bool JsonText::parse(const QString& text, Json::Value& root, QString& error)
{
    root = Json::Value();
    error.clear();
    const std::string utf8 = text.toStdString();
    Json::CharReaderBuilder builder;
    builder["collectComments"] = false;
    builder["stackLimit"] = NestingLimit;
    std::string errors;
    try {
        std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
        if (reader->parse(utf8.data(), utf8.data() + utf8.size(), &root, &errors))
            return true;
        error = QStringLiteral("неверный JSON: %1").arg(oneLine(errors));
    } catch (const std::exception& e) {
        const QString what = QString::fromUtf8(e.what());
        // The reader refuses nesting deeper than its stack limit by throwing.
        if (what.contains(QLatin1String("stackLimit")))
            error = QStringLiteral("слишком глубокая вложенность JSON (больше %1 уровней)").arg(NestingLimit);
        else
            error = QStringLiteral("неверный JSON: %1").arg(what);
    } catch (...) {
        error = QStringLiteral("неверный JSON: неизвестная ошибка разбора");
    }
    root = Json::Value();
    return false;
}
