#pragma once

#include "device/RegisterIdentity.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QVector>

class TableInfo;

// What a snapshot file says about itself: which program made it and when,
// from which register, and for each table its file and the digest of it.
class SnapshotManifest
{
public:
    struct Table
    {
        unsigned number = 0;
        QString name;
        QString file;        // the entry of the archive
        int rows = 0;
        unsigned cells = 0;
        QString sha256;      // of the entry's bytes, hex
        QString description; // digest of the table's description, see descriptionDigest
    };

    QString program;
    QString version;
    QDateTime time; // UTC
    RegisterIdentity identity;
    int configuration = 0;
    QVector<Table> tables;

    // The name of the manifest inside the archive.
    static QString entryName() { return QStringLiteral("manifest.json"); }

    QByteArray toJson() const;
    // Returns an empty text on success, otherwise why the text is no manifest.
    QString fromJson(const QByteArray& json);

    // The table of that number; nullptr when the snapshot lacks it.
    const Table* table(unsigned number) const;

    // Two tables with the same digest are stored and shown alike: number,
    // name, layout and every field's name and storage.
    static QString descriptionDigest(const TableInfo& table);
};
