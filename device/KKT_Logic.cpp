#include "KKT_Logic.h"

#include "DriverLibrary.h"
#include "ProgressReporter.h"
#include "TableReadEngine.h"
#include "TableWriteEngine.h"
#include "model/ExternalCodec.h"
#include "model/InternalCodec.h"

#include <QDebug>
#include <QRegExp>

#include <string>

QTextCodec* KKT_Logic::s_internalCodec = nullptr;
QTextCodec* KKT_Logic::s_externalCodec = nullptr;

namespace {

const int SettingsBufferSize = 1024;
const int ParamBufferSize = 128;

DriverLibrary& driver()
{
    return DriverLibrary::instance();
}

} // namespace

KKT_Logic& KKT_Logic::instance()
{
    if (!s_internalCodec)
        s_internalCodec = new InternalCodec;
    if (!s_externalCodec)
        s_externalCodec = new ExternalCodec;
    static KKT_Logic logic;
    return logic;
}

QTextCodec* KKT_Logic::internalCodec()
{
    instance();
    return s_internalCodec;
}

QTextCodec* KKT_Logic::externalCodec()
{
    instance();
    return s_externalCodec;
}

RegisterCharsets KKT_Logic::charsets()
{
    instance();
    return RegisterCharsets{s_internalCodec, s_externalCodec};
}

RegisterLink KKT_Logic::link() const
{
    return RegisterLink(driver(), m_handle, charsets());
}

int KKT_Logic::connect()
{
    qDebug() << "KKT_Logic::connect()";
    driver().load();
    driver().create(&m_handle);
    return 0;
}

int KKT_Logic::destroy()
{
    qDebug() << "KKT_Logic::destroy()";
    if (m_handle)
        driver().destroy(&m_handle);
    // A handle once handed to destroy is gone, whatever the library did with our copy.
    m_handle = nullptr;
    return 0;
}

bool KKT_Logic::cancelRequested() const
{
    return m_cancellable && m_cancellable->cancelRequested();
}

void KKT_Logic::requestCancel()
{
    if (m_cancellable)
        m_cancellable->requestCancel();
}

ProgressReporter* KKT_Logic::lendCancel(ProgressReporter* progress)
{
    ProgressReporter* before = m_cancellable;
    m_cancellable = progress;
    return before;
}

int KKT_Logic::close()
{
    qDebug() << "KKT_Logic::close()";
    return driver().close(m_handle);
}

int KKT_Logic::openAndIdentify(int* modelId, QString* modelName, QString* serialNumber)
{
    RegisterIdentity identity;
    const int result = openAndIdentify(identity);
    if (result != 0)
        return result;
    if (modelId)
        *modelId = identity.modelCode;
    if (serialNumber)
        *serialNumber = identity.serialNumber;
    if (modelName)
        *modelName = identity.modelName;
    return 0;
}

int KKT_Logic::openAndIdentify(RegisterIdentity& identity)
{
    driver().setSingleSetting(m_handle, L"Port", L"1");
    driver().applySingleSettings(m_handle);

    int result = driver().open(m_handle);
    if (result != 0)
        return result;

    driver().setParamInt(m_handle, LIBTILLO_PARAM_QUERY, LIBTILLO_QUERY_STATUS);
    result = driver().queryData(m_handle);
    if (result != 0)
        return result;

    identity = RegisterIdentity::fromStatusQuery(link());
    return 0;
}

int KKT_Logic::configurationFromVersion(const QString& versionText)
{
    QString text = versionText;
    text.replace(QRegExp(QStringLiteral("(\\d+)\\.(\\d+)\\.(\\d+)"), Qt::CaseSensitive), QStringLiteral("\\3"));
    bool ok = false;
    const int number = text.toInt(&ok, 10);
    return ok ? number : 0;
}

int KKT_Logic::configurationVersion()
{
    driver().setParamInt(m_handle, LIBTILLO_PARAM_QUERY, LIBTILLO_QUERY_VERSION);
    driver().setParamInt(m_handle, LIBTILLO_PARAM_QUERY_VERSION, 1);
    driver().queryData(m_handle);
    return configurationFromVersion(paramString(LIBTILLO_PARAM_FIRMWARE));
}

QString KKT_Logic::lastErrorText()
{
    return link().lastErrorText();
}

QString KKT_Logic::resultText(int result, const QString& errorText)
{
    return link().resultText(result, errorText);
}

void KKT_Logic::setSettings(const QString& text)
{
    const std::wstring wide = text.toStdWString();
    driver().setSettings(m_handle, wide.c_str());
}

void KKT_Logic::getSettings(QString& text)
{
    text = driver().settingsString(m_handle, SettingsBufferSize);
}

QString KKT_Logic::paramString(int id)
{
    return driver().paramString(m_handle, id, ParamBufferSize);
}

QByteArray KKT_Logic::decodeValue(const FieldInfo& field, const QByteArray& raw, bool internalCodec)
{
    return link().decode(field, raw, internalCodec);
}

int KKT_Logic::writeTableData(const TableInfo& table, DataRows& rows, unsigned& cellCount, ProgressReporter& progress)
{
    QString ignored;
    return writeTableData(table, rows, cellCount, progress, ignored);
}

int KKT_Logic::writeTableData(const TableInfo& table, DataRows& rows, unsigned& cellCount, ProgressReporter& progress,
                              QString& errorText)
{
    return TableWriteEngine(link()).write(table, rows, cellCount, progress, errorText);
}

int KKT_Logic::readTableData(const TableInfo& table, DataRows& rows, unsigned& cellCount, QString& errorText,
                              ProgressReporter* progress)
{
    return TableReadEngine(link()).read(table, rows, cellCount, errorText, progress);
}

int KKT_Logic::readTableRow(const TableInfo& table, unsigned registerRow, const QVector<int>& columns, DataRow& row,
                            QString& errorText)
{
    return TableReadEngine(link()).readRow(table, registerRow, columns, row, errorText);
}
