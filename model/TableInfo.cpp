#include "TableInfo.h"

#include "common/WholeFile.h"


#include <QCoreApplication>
#include <QDebug>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QRegularExpression>

#include <cmath>
#include <limits>

namespace {

// Every key takes its default unless it holds a value of its own JSON type.

qint64 integerOr(const QJsonValue& value, qint64 fallback)
{
    if (!value.isDouble())
        return fallback;
    const double number = value.toDouble();
    if (!std::isfinite(number) || std::fabs(number) >= 9.2e18)
        return fallback;
    return qint64(number);
}

double numberOr(const QJsonValue& value, double fallback)
{
    return value.isDouble() ? value.toDouble() : fallback;
}

QString stringOr(const QJsonValue& value, const QString& fallback)
{
    return value.isString() ? value.toString() : fallback;
}

bool boolOr(const QJsonValue& value, bool fallback)
{
    return value.isBool() ? value.toBool() : fallback;
}

TableType tableTypeOf(const QJsonValue& value)
{
    const QString text = stringOr(value, QString());
    if (text == QLatin1String("list"))
        return List;
    if (text == QLatin1String("transposedList"))
        return TransposedList;
    if (text == QLatin1String("db"))
        return Db;
    return Plain;
}

FieldInfo readField(const QJsonObject& object)
{
    FieldInfo field(stringOr(object.value(QLatin1String("name")), QString()),
                    stringOr(object.value(QLatin1String("deviceType")), QString()),
                    stringOr(object.value(QLatin1String("guiType")), QString()));

    switch (field.m_guiType) {
    case FieldInfo::List: {
        const QJsonArray items = object.value(QLatin1String("items")).toArray();
        for (const QJsonValue& item : items) {
            const QJsonObject itemObject = item.toObject();
            // Keys are unsigned 32-bit: a negative value sorts after all others.
            const auto key = uint32_t(integerOr(itemObject.value(QLatin1String("value")), 0));
            field.m_items[key] = stringOr(itemObject.value(QLatin1String("name")), QString());
        }
        break;
    }
    case FieldInfo::Int:
        field.m_min = double(integerOr(object.value(QLatin1String("min")), 0));
        field.m_max = double(integerOr(object.value(QLatin1String("max")), 2147483647));
        break;
    case FieldInfo::Money:
        field.m_min = numberOr(object.value(QLatin1String("min")), 0);
        field.m_max = numberOr(object.value(QLatin1String("max")), std::numeric_limits<double>::max());
        break;
    case FieldInfo::StringMasked:
        field.m_mask = stringOr(object.value(QLatin1String("mask")), QString());
        break;
    case FieldInfo::String:
    case FieldInfo::GuiUnknown:
        break;
    }

    // An ascii field needs its width too, for whole-row reads.
    if (field.m_deviceType == FieldInfo::String866 || field.m_deviceType == FieldInfo::Ascii)
        field.m_maxLength = int32_t(integerOr(object.value(QLatin1String("maxLength")), 128));
    if (field.m_deviceType == FieldInfo::String866)
        field.m_fillCharCode = uint8_t(integerOr(object.value(QLatin1String("fillCharCode")), 32) & 0xFF);

    field.m_ipAddress = boolOr(object.value(QLatin1String("ip_address")), false);
    field.m_readOnly = boolOr(object.value(QLatin1String("read_only")), false);
    field.m_cliche = boolOr(object.value(QLatin1String("cliche")), false);
    return field;
}

// Limits of the description that no register field can have; empty when the
// field's limits are possible.
QString impossibleLimits(const QJsonObject& object, const FieldInfo& field)
{
    const QJsonValue maxLength = object.value(QLatin1String("maxLength"));
    if ((field.m_deviceType == FieldInfo::String866 || field.m_deviceType == FieldInfo::Ascii) && maxLength.isDouble()) {
        const double length = maxLength.toDouble();
        if (!(length >= 1 && length <= FieldInfo::LongestText))
            return QStringLiteral("maxLength %1 вне пределов от 1 до %2").arg(length, 0, 'g', 15).arg(FieldInfo::LongestText);
    }
    if (field.m_guiType != FieldInfo::Int && field.m_guiType != FieldInfo::Money)
        return QString();
    // Int limits are whole numbers of 64 bits; money limits are roubles of
    // a 64-bit count of kopecks.
    const double largest = field.m_guiType == FieldInfo::Int ? 1.8446744073709552e19 : 1.8446744073709552e17;
    const QJsonValue min = object.value(QLatin1String("min"));
    const QJsonValue max = object.value(QLatin1String("max"));
    const double low = min.isDouble() ? min.toDouble() : 0;
    const double high = max.isDouble() ? max.toDouble() : field.m_max;
    if ((min.isDouble() && !(low >= 0 && low <= largest)) || (max.isDouble() && !(high >= 0 && high <= largest))
        || low > high) {
        return QStringLiteral("границы min %1 и max %2 невозможны для поля ККТ").arg(low, 0, 'g', 15).arg(high, 0, 'g', 15);
    }
    return QString();
}

QString tableLabel(const QJsonObject& object, const QString& name)
{
    const QJsonValue id = object.value(QLatin1String("id"));
    const QString number = id.isDouble() ? QString::number(id.toDouble(), 'g', 15) : QStringLiteral("?");
    return QStringLiteral("таблица %1 \"%2\"").arg(number, name);
}

} // namespace

int TableInfo::readTablesInfo(uint32_t modelId, QList<TableInfo>& tables, QString& errorText,
                              const std::function<int()>& configurationVersion)
{
    return readTablesInfo(modelId, tables, errorText, QCoreApplication::applicationDirPath() + QStringLiteral("/models"),
                          configurationVersion);
}

int TableInfo::readTablesInfo(uint32_t modelId, QList<TableInfo>& tables, QString& errorText,
                              const QString& modelsDir, const std::function<int()>& configurationVersion)
{
    const QString fileName = QString::number(modelId) + QStringLiteral(".json");
    const QString path = modelsDir + QLatin1Char('/') + fileName;
    const QString shownName = QStringLiteral("./models/") + fileName;
    qDebug() << "TableInfo::readTablesInfo(), fileName = " << path;

    if (!QFile::exists(path)) {
        qDebug() << "File not found";
        errorText = QStringLiteral("Файл %1 не найден.").arg(path);
        return 155;
    }

    // Neither a FIFO nor a device in the file's place is waited on or read.
    QByteArray content;
    QString unread;
    if (!WholeFile::read(path, MaxFileBytes, content, unread)) {
        errorText = QStringLiteral("%1: файл не прочитан: %2").arg(shownName, unread);
        return 5;
    }
    const QJsonObject top = QJsonDocument::fromJson(content).object();

    const QJsonValue device = top.value(QLatin1String("device"));
    if (!device.isObject() || device.toObject().isEmpty()) {
        errorText = QStringLiteral("%1: проверьте корректность поля device.").arg(shownName);
        return 5;
    }

    // Without configurationVersion the description is only shown, never written by: there is no register to ask.
    if (configurationVersion) {
        const int registerConfiguration = configurationVersion();
        const qint64 fileConfiguration = integerOr(device.toObject().value(QLatin1String("configuration")), 0);
        if (fileConfiguration != registerConfiguration) {
            errorText = QStringLiteral("%1: не соответствует текущей версии ПО ККТ(%2)").arg(shownName, QString::number(registerConfiguration));
            return 5;
        }
    }

    const QJsonValue tablesValue = top.value(QLatin1String("tables"));
    if (!tablesValue.isArray() || tablesValue.toArray().isEmpty()) {
        errorText = QStringLiteral("%1: проверьте корректность поля tables.").arg(shownName);
        return 5;
    }

    const QJsonArray tableArray = tablesValue.toArray();
    const auto refuse = [&errorText, &shownName](const QString& why) {
        errorText = QStringLiteral("%1: %2").arg(shownName, why);
        qDebug().noquote() << "Model description refused:" << errorText;
        return 5;
    };
    for (const QJsonValue& tableValue : tableArray) {
        const QJsonObject object = tableValue.toObject();
        const QString loggedName = stringOr(object.value(QLatin1String("name")), QString());
        qDebug() << loggedName;

        TableInfo table;
        table.type = tableTypeOf(object.value(QLatin1String("type")));

        const QJsonArray fields = object.value(QLatin1String("fields")).toArray();
        int position = 0;
        for (const QJsonValue& fieldValue : fields) {
            ++position;
            const QJsonObject fieldObject = fieldValue.toObject();
            const qint64 id = integerOr(fieldObject.value(QLatin1String("id")), 0);
            if (id != position) {
                qDebug().nospace() << "Error in Fields ID. totalFieldsNumber = " << position
                                   << "currentFieldID = " << id;
                errorText = QStringLiteral("%1: проверьте корректность id полей.").arg(loggedName);
                return 5;
            }
            table.fields.append(readField(fieldObject));
            const QString limits = impossibleLimits(fieldObject, table.fields.last());
            if (!limits.isEmpty()) {
                return refuse(QStringLiteral("%1, поле %2 \"%3\": %4")
                                  .arg(tableLabel(object, loggedName), QString::number(position),
                                       table.fields.last().m_name, limits));
            }
        }

        const QJsonArray rowNames = object.value(QLatin1String("row_names")).toArray();
        for (const QJsonValue& rowName : rowNames)
            table.rowNames.append(stringOr(rowName, QString()));

        table.fastRead = boolOr(object.value(QLatin1String("fastRead")), false);
        table.name = stringOr(object.value(QLatin1String("name")), QStringLiteral("UNDEFINED"));
        const QJsonValue idValue = object.value(QLatin1String("id"));
        const qint64 id = integerOr(idValue, 0);
        if (idValue.isDouble() && !(idValue.toDouble() >= 0 && idValue.toDouble() <= 65535)) {
            return refuse(QStringLiteral("%1: номер таблицы должен быть от 0 до 65535")
                              .arg(tableLabel(object, loggedName)));
        }
        // Two tables may carry one number: a choice by number takes the first.
        table.id = uint16_t(id);

        // Row numbers, also when written as text ("3"); anything else is a mistake
        // that would leave a protected row open to writing.
        const QJsonValue readOnlyRows = object.value(QLatin1String("read_only_rows"));
        if (!readOnlyRows.isUndefined() && !readOnlyRows.isNull() && !readOnlyRows.isArray())
            return refuse(QStringLiteral("%1: read_only_rows должен быть списком номеров рядов")
                              .arg(tableLabel(object, loggedName)));
        for (const QJsonValue& row : readOnlyRows.toArray()) {
            bool ok = false;
            qint64 number = 0;
            if (row.isDouble()) {
                const double value = row.toDouble();
                ok = value == std::floor(value) && value >= 1 && value <= 65536;
                if (ok)
                    number = qint64(value);
            } else if (row.isString()) {
                const QString text = row.toString();
                static const QRegularExpression digits(QStringLiteral("^[0-9]{1,5}$"));
                number = digits.match(text).hasMatch() ? text.toLongLong() : 0;
                ok = number >= 1 && number <= 65536;
            }
            if (!ok) {
                const QString shown = row.isString() ? QStringLiteral("\"%1\"").arg(row.toString().left(80))
                                                     : QString::fromUtf8(QJsonDocument(QJsonArray{row}).toJson(QJsonDocument::Compact)).mid(1).chopped(1);
                return refuse(QStringLiteral("%1: в read_only_rows не номер ряда от 1 до 65536: %2")
                                  .arg(tableLabel(object, loggedName), shown));
            }
            table.readOnlyRows.append(int32_t(number));
        }

        tables.append(table);
    }
    return 0;
}
