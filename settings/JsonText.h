#pragma once

#include <json/json.h>

#include <QString>

// The one way the settings code parses JSON with jsoncpp: comments dropped,
// nesting bounded by the library's stack limit, and every failure of the
// library, reported or thrown, turned into one line of text.
class JsonText
{
public:
    // True when the text parses into root. Otherwise root is null and error
    // says why (in Russian, with the library's own words where they help).
    static bool parse(const QString& text, Json::Value& root, QString& error);
};
