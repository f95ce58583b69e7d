#include "ReportDocument.h"

#include "HtmlText.h"

namespace {

// A4 with margins for print; page breaks never split a row or part a heading from its table.
const char Style[] = "body{font-family:'DejaVu Sans',Arial,sans-serif;font-size:10pt;color:#000;margin:1em}"
                     "h1{font-size:16pt;margin:0 0 .5em}h2{font-size:13pt;margin:1.2em 0 .4em}"
                     "h3{font-size:11pt;margin:1em 0 .3em}"
                     "table{border-collapse:collapse;margin:.3em 0}"
                     "th,td{border:1px solid #888;padding:2px 6px;text-align:left;vertical-align:top}"
                     "th{background:#eee}table.cells{width:100%}td.before,td.after{white-space:pre-wrap}"
                     "p.total{font-weight:bold}"
                     "@page{size:A4;margin:15mm}"
                     "@media print{body{margin:0}thead{display:table-header-group}tr{page-break-inside:avoid}"
                     "h2,h3{page-break-after:avoid}}";

QString classAttribute(const QString& cssClass)
{
    return cssClass.isEmpty() ? QString() : QStringLiteral(" class=\"%1\"").arg(HtmlText::of(cssClass));
}

// The attributes as well as the styles: Qt's rich text draws a table's grid from them.
QString tableStart(const QString& cssClass)
{
    return QStringLiteral("<table%1 border=\"1\" cellspacing=\"0\" cellpadding=\"3\">\n").arg(classAttribute(cssClass));
}

} // namespace

ReportDocument::ReportDocument(const QString& title) : m_title(title)
{
    addHeading(1, title);
}

void ReportDocument::addRegister(const QString& caption, const RegisterIdentity& identity)
{
    addHeading(2, caption);
    addFacts(QStringLiteral("register"),
             {{QStringLiteral("Модель"), QStringLiteral("%1 (%2)").arg(identity.modelCode).arg(identity.modelName)},
              {QStringLiteral("Заводской номер"), identity.serialNumber},
              {QStringLiteral("Версия ПО"),
               identity.firmware.isEmpty() ? QStringLiteral("не известна") : identity.firmware}},
             {QStringLiteral("model"), QStringLiteral("serial"), QStringLiteral("firmware")});
}

void ReportDocument::addHeading(int level, const QString& text, const QString& cssClass)
{
    m_body += QStringLiteral("<h%1%2>%3</h%1>\n").arg(level).arg(classAttribute(cssClass), HtmlText::of(text));
}

void ReportDocument::addParagraph(const QString& text, const QString& cssClass)
{
    m_body += QStringLiteral("<p%1>%2</p>\n").arg(classAttribute(cssClass), HtmlText::of(text));
}

void ReportDocument::beginTable(const QString& cssClass, const QStringList& headers)
{
    m_body += tableStart(cssClass) + QLatin1String("<thead><tr>");
    for (const QString& header : headers)
        m_body += QStringLiteral("<th>%1</th>").arg(HtmlText::of(header));
    m_body += QLatin1String("</tr></thead>\n<tbody>\n");
}

void ReportDocument::addRow(const QStringList& classes, const QStringList& texts)
{
    m_body += QLatin1String("<tr>");
    for (int i = 0; i < texts.size(); ++i) {
        m_body += QLatin1String("<td");
        m_body += classAttribute(classes.value(i));
        m_body += QLatin1Char('>');
        m_body += HtmlText::of(texts.at(i));
        m_body += QLatin1String("</td>");
    }
    m_body += QLatin1String("</tr>\n");
}

void ReportDocument::endTable()
{
    m_body += QLatin1String("</tbody>\n</table>\n");
}

void ReportDocument::addFacts(const QString& cssClass, const QList<QPair<QString, QString>>& facts,
                              const QStringList& classes)
{
    m_body += tableStart(cssClass);
    for (int i = 0; i < facts.size(); ++i) {
        m_body += QStringLiteral("<tr><th>%1</th><td%2>%3</td></tr>\n")
                      .arg(HtmlText::of(facts.at(i).first), classAttribute(classes.value(i)),
                           HtmlText::of(facts.at(i).second));
    }
    m_body += QLatin1String("</table>\n");
}

void ReportDocument::beginSection(const QString& cssClass)
{
    m_body += QStringLiteral("<div%1>\n").arg(classAttribute(cssClass));
}

void ReportDocument::endSection()
{
    m_body += QLatin1String("</div>\n");
}

QString ReportDocument::html() const
{
    return QStringLiteral("<!DOCTYPE html>\n<html lang=\"ru\">\n<head>\n<meta charset=\"utf-8\"/>\n<title>%1</title>\n"
                          "<style>%2</style>\n</head>\n<body>\n")
               .arg(HtmlText::of(m_title), QLatin1String(Style))
        + m_body + QLatin1String("</body>\n</html>\n");
}
