#include "SettingsMapping.h"

#include <json/json.h>

#include <memory>

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

QVector<SettingsMapping::Entry> SettingsMapping::parse(const QString& text)
{
    QVector<Entry> entries;
    const std::string utf8 = text.toStdString();
    Json::CharReaderBuilder builder;
    builder["collectComments"] = false;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    Json::Value root;
    std::string errors;
    try {
        if (!reader->parse(utf8.data(), utf8.data() + utf8.size(), &root, &errors))
            return entries;
    } catch (const std::exception&) {
        return entries;
    }
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
