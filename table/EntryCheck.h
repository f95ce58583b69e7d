#pragma once

#include <QByteArray>
#include <QString>

class FieldInfo;

// Whether the register can store a value a cell editor gives: the one check
// every editor and the table model ask before a value enters a cell.
class EntryCheck
{
public:
    // Why the register cannot store the stored form of a value in the field
    // (Russian, for the status bar); empty when it can.
    static QString problem(const FieldInfo& field, const QByteArray& stored);
    // The same reason alone, without the value and the field: for a message
    // that names the value as the user gave it.
    static QString reason(const FieldInfo& field, const QByteArray& stored);
};
