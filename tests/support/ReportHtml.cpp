#include "ReportHtml.h"

#include <QXmlStreamReader>

ReportHtml ReportHtml::parse(const QString& html)
{
    ReportHtml result;
    QXmlStreamReader reader(html);
    QString heading;
    bool inCells = false;
    QMap<QString, QString> row;
    QStringList classes; // of the open elements
    QStringList texts;
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement: {
            const QString cssClass = reader.attributes().value(QStringLiteral("class")).toString();
            if (reader.name() == QLatin1String("table") && cssClass == QLatin1String("cells"))
                inCells = true;
            if (reader.name() == QLatin1String("tr"))
                row.clear();
            classes << cssClass;
            texts << QString();
            break;
        }
        case QXmlStreamReader::Characters:
            for (QString& text : texts)
                text += reader.text();
            break;
        case QXmlStreamReader::EndElement: {
            const QString cssClass = classes.takeLast();
            const QString text = texts.takeLast();
            for (const QString& name : cssClass.split(QLatin1Char(' '), Qt::SkipEmptyParts))
                result.byClass[name] << text;
            if (cssClass == QLatin1String("table-title"))
                heading = text;
            if (inCells && !cssClass.isEmpty() && reader.name() == QLatin1String("td"))
                row.insert(cssClass, text);
            if (inCells && reader.name() == QLatin1String("tr") && !row.isEmpty()) {
                row.insert(QStringLiteral("table"), heading);
                result.cellRows << row;
            }
            if (reader.name() == QLatin1String("table"))
                inCells = false;
            break;
        }
        default:
            break;
        }
    }
    result.wellFormed = !reader.hasError();
    result.error = reader.errorString();
    return result;
}

QString ReportHtml::only(const QString& cssClass) const
{
    const QStringList texts = byClass.value(cssClass);
    return texts.size() == 1 ? texts.first() : QString();
}
