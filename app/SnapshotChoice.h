#pragma once

#include "runs/RegisterSnapshot.h"

#include <QString>
#include <QStringList>

class CommandHost;
struct RegisterIdentity;
class SnapshotManifest;

// What the snapshot commands ask of the user: the file, and whether a
// snapshot of another register or model may meet the register connected.
class SnapshotChoice
{
public:
    // The file dialogs; an empty path when the user cancelled (the status bar says so).
    static QString fileToSave(CommandHost& host);
    static QString fileToOpen(CommandHost& host, const QString& caption);
    // One file or more, in the order chosen; none when the user cancelled.
    static QStringList filesToOpen(CommandHost& host, const QString& caption);

    // For a snapshot of another model, asks whether the tables described alike
    // may be compared; false when the user declines.
    static bool allowCompare(CommandHost& host, const SnapshotManifest& snapshot, const RegisterIdentity& connected,
                             RegisterSnapshot::Permissions& permissions);
    // The same for two snapshots of different models.
    static bool allowCompareFiles(CommandHost& host, const SnapshotManifest& first, const SnapshotManifest& second,
                                  RegisterSnapshot::Permissions& permissions);
    // Asks before a restore, naming another register or model and the tabs
    // whose unwritten edits the restore drops; false when the user declines.
    static bool allowRestore(CommandHost& host, const QString& path, const SnapshotManifest& snapshot,
                             const RegisterIdentity& connected, const QStringList& droppedEdits,
                             RegisterSnapshot::Permissions& permissions);

    // "модель 57 (Вескор-Эмулятор 57), заводской номер 0057000001"
    static QString registerText(const RegisterIdentity& identity);
};
