#include "TsvBlock.h"

namespace {

const QChar tab = QLatin1Char('\t');
const QChar newline = QLatin1Char('\n');
const QChar carriageReturn = QLatin1Char('\r');
const QChar quote = QLatin1Char('"');

bool needsQuotes(const QString& text)
{
    return text.contains(tab) || text.contains(newline) || text.contains(carriageReturn) || text.startsWith(quote);
}

} // namespace

QVector<QStringList> TsvBlock::parse(const QString& text)
{
    QVector<QStringList> rows;
    QStringList row;
    QString cell;
    bool rowOpen = false;
    int i = 0;
    const int size = text.size();
    while (i < size) {
        rowOpen = true;
        if (cell.isEmpty() && text[i] == quote) {
            // A quoted text runs to the quote that no second quote follows;
            // a text whose quote is never closed is taken as it stands.
            int j = i + 1;
            QString quoted;
            bool closed = false;
            while (j < size) {
                if (text[j] == quote) {
                    if (j + 1 < size && text[j + 1] == quote) {
                        quoted += quote;
                        j += 2;
                        continue;
                    }
                    closed = true;
                    break;
                }
                quoted += text[j++];
            }
            if (closed && (j + 1 == size || text[j + 1] == tab || text[j + 1] == newline || text[j + 1] == carriageReturn)) {
                cell = quoted;
                i = j + 1;
                if (i == size)
                    break;
            }
        }
        const QChar c = text[i];
        if (c == tab) {
            row << cell;
            cell.clear();
            ++i;
        } else if (c == newline || c == carriageReturn) {
            row << cell;
            cell.clear();
            rows << row;
            row.clear();
            rowOpen = false;
            i += (c == carriageReturn && i + 1 < size && text[i + 1] == newline) ? 2 : 1;
        } else {
            cell += c;
            ++i;
        }
    }
    if (rowOpen) {
        row << cell;
        rows << row;
    }
    return rows;
}

QString TsvBlock::format(const QVector<QStringList>& rows)
{
    QString text;
    for (const QStringList& row : rows) {
        for (int c = 0; c < row.size(); ++c) {
            if (c > 0)
                text += tab;
            QString cell = row[c];
            if (needsQuotes(cell))
                cell = quote + cell.replace(quote, QStringLiteral("\"\"")) + quote;
            text += cell;
        }
        text += newline;
    }
    return text;
}
