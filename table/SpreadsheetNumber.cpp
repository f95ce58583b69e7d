#include "SpreadsheetNumber.h"

#include <QRegularExpression>

namespace {

const QString separators = QStringLiteral("[ \\x{00A0}\\x{202F}']");

} // namespace

QString SpreadsheetNumber::ungrouped(const QString& text)
{
    static const QRegularExpression grouped(
        QStringLiteral("^\\s*\\d{1,3}(%1\\d{3})+([.,]\\d*)?\\s*$").arg(separators));
    static const QRegularExpression separator(separators);
    if (!grouped.match(text).hasMatch())
        return text;
    return QString(text).remove(separator).trimmed();
}
