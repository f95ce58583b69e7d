#include "SettingsMapping.h"

#include "JsonText.h"

#include <json/json.h>

namespace {

bool isScalar(const Json::Value& v)
{
    return !v.isArray() && !v.isObject();
}

QString asText(const Json::Value& v)
{
    return QString::fromStdString(v.asString());
}

} // namespace

QVector<SettingsMapping::Entry> SettingsMapping::parse(const QString& text, QString* error)
{
    QVector<Entry> entries;
    Json::Value root;
    QString why;
    const bool parsed = JsonText::parse(text, root, why);
    if (error)
        *error = why;
    if (!parsed)
        return entries;
    if (!root.isArray())
        return entries;
    for (const Json::Value& element : root) {
        if (!element.isObject())
            continue;
        const Json::Value& key = element["key"];
        const Json::Value& description = element["description"];
        if (!isScalar(key) || !isScalar(description))
            continue;
        entries.append({asText(key), asText(description)});
    }
    return entries;
}
