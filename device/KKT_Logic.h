#pragma once

#include "Cell.h"
#include "RegisterCharsets.h"
#include "RegisterIdentity.h"
#include "RegisterLink.h"

#include <tillo10.h>

#include <QByteArray>
#include <QString>

class FieldInfo;
class ProgressReporter;
class QTextCodec;
class TableInfo;

// The program's one connection to the register, over the tillo10 driver.
// Reports failures by results: 0 success, -1 a failure described in an error
// text it returns, anything else a driver failure (see lastErrorText()).
// It owns the driver handle and the two character sets and hands them, as a
// RegisterLink, to the engines, the value check and the identity read, which
// reach for nothing themselves.
class KKT_Logic
{
public:
    static KKT_Logic& instance();

    libtillo_handle handle() const { return m_handle; }
    // The driver, the current handle and the character sets, for the engines.
    RegisterLink link() const;

    int connect();
    int destroy();
    int close();

    int openAndIdentify(int* modelId, QString* modelName, QString* serialNumber);
    // The same, keeping everything the status query tells.
    int openAndIdentify(RegisterIdentity& identity);
    int configurationVersion();
    QString lastErrorText();
    // The message of an engine's result: its own error text for -1, the
    // driver's last error text for any other failure.
    QString resultText(int result, const QString& errorText);

    void setSettings(const QString& text);
    void getSettings(QString& text);
    QString paramString(int id);

    QByteArray decodeValue(const FieldInfo& field, const QByteArray& raw, bool internalCodec);

    // Progress, when given, hears the table's name and the rows read.
    int readTableData(const TableInfo& table, DataRows& rows, unsigned& cellCount, QString& errorText,
                      ProgressReporter* progress = nullptr);
    // The cells at the given columns of one register row; see TableReadEngine::readRow.
    int readTableRow(const TableInfo& table, unsigned registerRow, const QVector<int>& columns, DataRow& row,
                     QString& errorText);
    int writeTableData(const TableInfo& table, DataRows& rows, unsigned& cellCount, ProgressReporter& progress);
    // The same; a result of -1 (a changed cell that cannot be written) comes with errorText.
    int writeTableData(const TableInfo& table, DataRows& rows, unsigned& cellCount, ProgressReporter& progress,
                       QString& errorText);

    // Whether the user asked the command that talks to the register to stop.
    // The flag is that command's own, in the progress it reports to (the engines
    // look at it between cells, the table sets between tables); the command lends
    // it here while it can stop, so every command starts with it down. Nothing is
    // raised while no command can stop.
    bool cancelRequested() const;
    void requestCancel();
    // The progress of the command that can stop now (nullptr: none); returns the one before.
    ProgressReporter* lendCancel(ProgressReporter* progress);

    // The firmware version text of a configuration number's query.
    static int configurationFromVersion(const QString& versionText);

    static QTextCodec* internalCodec();
    static QTextCodec* externalCodec();
    // Both of them, made on first use and kept to the program's end.
    static RegisterCharsets charsets();

private:
    KKT_Logic() = default;
    KKT_Logic(const KKT_Logic&) = delete;
    KKT_Logic& operator=(const KKT_Logic&) = delete;

    libtillo_handle m_handle = nullptr;
    ProgressReporter* m_cancellable = nullptr;

    static QTextCodec* s_internalCodec;
    static QTextCodec* s_externalCodec;
};
