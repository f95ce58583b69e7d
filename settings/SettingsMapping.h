#pragma once

#include <QString>
#include <QVector>

// The driver's list of the values one setting can take: a JSON array of
// {"key": ..., "description": ...} objects.
class SettingsMapping
{
public:
    struct Entry
    {
        QString key;
        QString description;
    };

    // Keys and descriptions as text (numbers in decimal, a missing member empty).
    // A text that does not parse or is not an array gives nothing; elements that
    // are not objects, or whose key or description is an array or object, are skipped.
    // error, when given, receives why a text did not parse (empty otherwise).
    static QVector<Entry> parse(const QString& text, QString* error = nullptr);
};
