#include "FileEncoding.h"

#include "FileTextCodec.h"
#include "common/PlainUtf8.h"
#include "common/PrintableText.h"

#include <QTextCodec>

#include <cerrno>
#include <iconv.h>

namespace {

const int AsciiMib = 3;
const int Windows1251Mib = 2251;

// The offset of the first byte that is not part of valid UTF-8; -1 when all
// are. For the bytes that are not plain UTF-8: the usual file is told eight
// bytes at a time by PlainUtf8 first, and only another one needs iconv.
qsizetype firstNonUtf8(const QByteArray& bytes)
{
    const iconv_t convert = ::iconv_open("UTF-16LE", "UTF-8");
    if (convert == iconv_t(-1))
        return -1;
    char* in = const_cast<char*>(bytes.constData());
    size_t left = size_t(bytes.size());
    qsizetype bad = -1;
    char buffer[4096];
    while (left > 0) {
        char* out = buffer;
        size_t room = sizeof buffer;
        if (::iconv(convert, &in, &left, &out, &room) == size_t(-1) && errno != E2BIG) {
            bad = in - bytes.constData(); // EILSEQ, or EINVAL: a sequence cut off by the end
            break;
        }
    }
    ::iconv_close(convert);
    return bad;
}

} // namespace

bool FileEncoding::parse(const QString& name, Choice& choice)
{
    const QString lower = name.toLower();
    if (lower == QLatin1String("utf-8") || lower == QLatin1String("utf8"))
        choice = Utf8;
    else if (lower == QLatin1String("windows-1251") || lower == QLatin1String("cp1251"))
        choice = Windows1251;
    else
        return false;
    return true;
}

QTextCodec* FileEncoding::codecOf(Choice choice)
{
    return QTextCodec::codecForName(choice == Windows1251 ? "windows-1251" : "UTF-8");
}

QString FileEncoding::cannotHold(QTextCodec* codec, const QString& value)
{
    const QString name = codec->mibEnum() == Windows1251Mib ? QStringLiteral("Windows-1251")
                                                             : QString::fromLatin1(codec->name());
    return QStringLiteral("Значение \"%1\" нельзя записать в кодировке %2").arg(value, name);
}

FileEncoding::FileEncoding(const QByteArray& bytes, Choice choice)
{
    if (choice != Detect) {
        m_codec = codecOf(choice);
        return;
    }
    // Printable UTF-8, as most files are, is plain UTF-8 too: one look tells both.
    m_printable = PrintableText::isPrintable(bytes.constData(), bytes.constData() + bytes.size());
    m_plainUtf8 = m_printable || PlainUtf8::check(bytes.constData(), bytes.constData() + bytes.size());
    const qsizetype bad = m_plainUtf8 ? -1 : firstNonUtf8(bytes);
    if (bad < 0) {
        m_codec = FileTextCodec::forReading(bytes);
        return;
    }
    QTextCodec* locale = QTextCodec::codecForLocale();
    if (!FileTextCodec::isUtf8(locale) && locale->mibEnum() != AsciiMib) {
        m_codec = locale;
        return;
    }
    m_codec = codecOf(Windows1251);
    m_guessed = locale->mibEnum() != Windows1251Mib;
    const qsizetype lineStart = bytes.lastIndexOf('\n', bad) + 1; // 0 when there is none before it
    m_badLine = int(bytes.left(int(bad)).count('\n')) + 1;
    m_badColumn = int(bad - lineStart) + 1;
    m_badByte = uchar(bytes.at(int(bad)));
}

QString FileEncoding::note() const
{
    return m_guessed ? QStringLiteral("файл прочитан в кодировке Windows-1251") : QString();
}

QString FileEncoding::notTableFile(const QString& title) const
{
    return QStringLiteral("Файл csv не в кодировке UTF-8 (строка %1, байт %2: 0x%3) и не файл таблицы ККТ в кодировке "
                          "Windows-1251: в заголовке нет названия таблицы ККТ и \" 1.1\" (прочитано \"%4\")")
        .arg(QString::number(m_badLine), QString::number(m_badColumn),
             QString::number(m_badByte, 16).toUpper().rightJustified(2, QLatin1Char('0')), title);
}
