#include "WindowLayout.h"

#include "SettingsFile.h"

#include <QSettings>
#include <QStringList>

namespace {

const QString geometryKey = QStringLiteral("Window/geometry");
const QString widthsGroup = QStringLiteral("ColumnWidths");
const QString tablePrefix = QStringLiteral("table");

// "120,80,64": a width list as the file keeps it; empty when any width is no positive number.
QList<int> widthList(const QString& text)
{
    QList<int> widths;
    for (const QString& part : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        bool ok = false;
        const int width = part.trimmed().toInt(&ok);
        if (!ok || width <= 0)
            return {};
        widths << width;
    }
    return widths;
}

} // namespace

WindowLayout WindowLayout::load(const QString& path)
{
    WindowLayout layout;
    if (!SettingsFile::isReadable(path))
        return layout;
    QSettings settings(path, QSettings::IniFormat);
    if (settings.status() != QSettings::NoError)
        return layout;
    layout.geometry = settings.value(geometryKey).toByteArray();
    settings.beginGroup(widthsGroup);
    for (const QString& key : settings.childKeys()) {
        bool ok = false;
        const int table = key.startsWith(tablePrefix) ? key.mid(tablePrefix.size()).toInt(&ok) : 0;
        const QList<int> widths = widthList(settings.value(key).toString());
        if (ok && !widths.isEmpty())
            layout.columnWidths.insert(table, widths);
    }
    return layout;
}

QString WindowLayout::save(const QString& path) const
{
    return SettingsFile::writePrivate(path, [this](QSettings& settings) {
        if (!geometry.isEmpty())
            settings.setValue(geometryKey, geometry);
        settings.remove(widthsGroup);
        settings.beginGroup(widthsGroup);
        for (auto it = columnWidths.cbegin(); it != columnWidths.cend(); ++it) {
            QStringList texts;
            for (const int width : it.value())
                texts << QString::number(width);
            settings.setValue(tablePrefix + QString::number(it.key()), texts.join(QLatin1Char(',')));
        }
    });
}
