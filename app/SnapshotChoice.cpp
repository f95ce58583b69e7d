#include "SnapshotChoice.h"

#include "CommandHost.h"
#include "FileCommandTexts.h"

#include "common/Product.h"
#include "dialogs/FileDialog.h"
#include "dialogs/MessageBox.h"
#include "snapshot/SnapshotManifest.h"

#include <QDate>
#include <QFileInfo>
#include <QObject>

namespace {

QString snapshotFilter()
{
    return QStringLiteral("Снимки ККТ (*.zip);;Все файлы (*)");
}

QString otherModelText(const SnapshotManifest& snapshot, const RegisterIdentity& connected)
{
    return QStringLiteral("Снимок сделан с ККТ другой модели: %1, а подключена %2. Переносятся только таблицы, "
                          "описанные в обеих моделях одинаково.")
        .arg(SnapshotChoice::registerText(snapshot.identity), SnapshotChoice::registerText(connected));
}

} // namespace

QString SnapshotChoice::fileToSave(CommandHost& host)
{
    RecentFolders& folders = host.recentFolders();
    const QString serial = host.shownRegister().serialNumber;
    const QString proposed = QStringLiteral("%1/%2%3.zip")
                                 .arg(folders.start(RecentFolders::Snapshot),
                                      serial.isEmpty() ? QString() : serial + QLatin1Char('_'),
                                      QDate::currentDate().toString(Qt::ISODate));
    QString path = FileDialog::getSaveFileName(host.dialogParent(), QObject::tr("Сохранить снимок ККТ"), proposed,
                                               snapshotFilter());
    folders.remember(RecentFolders::Snapshot, path, false);
    if (path.isEmpty()) {
        host.setStatusText(FileCommandTexts::cancelled());
        return path;
    }
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".zip");
    return path;
}

QString SnapshotChoice::fileToOpen(CommandHost& host, const QString& caption)
{
    RecentFolders& folders = host.recentFolders();
    const QString path = FileDialog::getOpenFileName(host.dialogParent(), caption,
                                                     folders.start(RecentFolders::Snapshot), snapshotFilter());
    folders.remember(RecentFolders::Snapshot, path, false);
    if (path.isEmpty())
        host.setStatusText(FileCommandTexts::cancelled());
    return path;
}

QStringList SnapshotChoice::filesToOpen(CommandHost& host, const QString& caption)
{
    RecentFolders& folders = host.recentFolders();
    const QStringList paths = FileDialog::getOpenFileNames(host.dialogParent(), caption,
                                                           folders.start(RecentFolders::Snapshot), snapshotFilter());
    folders.remember(RecentFolders::Snapshot, paths.value(0), false);
    if (paths.isEmpty())
        host.setStatusText(FileCommandTexts::cancelled());
    return paths;
}

bool SnapshotChoice::allowCompare(CommandHost& host, const SnapshotManifest& snapshot,
                                  const RegisterIdentity& connected, RegisterSnapshot::Permissions& permissions)
{
    if (snapshot.identity.modelCode == connected.modelCode)
        return true;
    permissions.otherModel = MessageBox::question(host.dialogParent(), product::displayName(),
                                                  otherModelText(snapshot, connected) + QStringLiteral(" Сравнить их?"));
    return permissions.otherModel;
}

bool SnapshotChoice::allowCompareFiles(CommandHost& host, const SnapshotManifest& first,
                                       const SnapshotManifest& second, RegisterSnapshot::Permissions& permissions)
{
    if (first.identity.modelCode == second.identity.modelCode)
        return true;
    permissions.otherModel = MessageBox::question(
        host.dialogParent(), product::displayName(),
        QStringLiteral("Снимки сделаны с ККТ разных моделей: %1 и %2. Сравниваются только таблицы, описанные в обеих "
                       "моделях одинаково. Сравнить их?")
            .arg(registerText(first.identity), registerText(second.identity)));
    return permissions.otherModel;
}

bool SnapshotChoice::allowRestore(CommandHost& host, const QString& path, const SnapshotManifest& snapshot,
                                  const RegisterIdentity& connected, const QStringList& droppedEdits,
                                  RegisterSnapshot::Permissions& permissions)
{
    QStringList lines;
    lines << QStringLiteral("Восстановить ККТ (%1) из снимка %2, сделанного %3 UTC?")
                 .arg(registerText(connected), FileCommandTexts::fileNameOf(path),
                      snapshot.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    permissions.otherModel = snapshot.identity.modelCode != connected.modelCode;
    permissions.otherRegister = snapshot.identity.serialNumber != connected.serialNumber;
    if (permissions.otherModel)
        lines << otherModelText(snapshot, connected);
    else if (permissions.otherRegister)
        lines << QStringLiteral("Снимок сделан с другой ККТ, заводской номер %1.").arg(snapshot.identity.serialNumber);
    if (!droppedEdits.isEmpty())
        lines << QStringLiteral("Изменения, не записанные в ККТ, будут потеряны на вкладках: %1.")
                     .arg(droppedEdits.join(QStringLiteral(", ")));
    lines << QStringLiteral("Будут записаны ячейки, которые отличаются от снимка, каждая таблица целиком или никак. "
                            "ККТ до восстановления сохранится в снимке рядом с журналом изменений.");
    return MessageBox::question(host.dialogParent(), product::displayName(), lines.join(QLatin1Char('\n')));
}

QString SnapshotChoice::registerText(const RegisterIdentity& identity)
{
    return QStringLiteral("модель %1 (%2), заводской номер %3")
        .arg(QString::number(identity.modelCode), identity.modelName, identity.serialNumber);
}
