#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

#include <json/value.h>

class QTemporaryDir;

// Builds, saves and reads back images of the emulated register that the
// stand-in tillo10 library (driver/) loads at every libtillo_open. Tests use
// it to set up a register (identity, tables, drawer, faults), point the
// library at it and look at what a commit stored and which calls were made.
//
//   EmulatorImage image;                         // model 57, empty, fiscal, with drawer
//   image.addTable(3, {{2}, {8, true}}, 4);      // table 3: bin2-wide field, text field; 4 rows
//   image.setCell(3, 1, 1, QByteArray::fromHex("0102"));
//   image.addFault({"read", 3, 2});              // reading any cell of row 2 fails with code 2
//   const QString path = image.install(dir, true);   // also traces calls
//   ... libtillo_open ...
//   EmulatorImage::fromFile(path).cell(3, 1, 1); EmulatorImage::traceLines(dir);
//
// Rows and fields count from 1. Cells are hex in the files the library writes;
// cell() also reads the typed forms {"uint": n} and {"bcd": n}, not {"text": ...}.
class EmulatorImage
{
public:
    struct Field
    {
        int width = 1;
        bool text = false; // kept in the register's internal character set
        int fill = -1;     // fill byte of typed texts; -1: 0x20 for text fields, else 0
    };

    struct Fault
    {
        QString call; // open, close, query, read, write, commit, mapping, drawer, set_settings, ...
        int table = -1; // -1: any
        int row = -1;
        int field = -1;
        int after = 0;  // the first `after` matching calls pass
        int times = -1; // -1: every matching call after those
        int code = 2;
        QString description = QStringLiteral("Нет связи");
        QString stage;  // "rename": a commit that stops after writing its temporary file;
                        // "after-rename": one that stores the image but reports failure
        int query = -1;
        bool throws = false; // the call fails by an exception inside the library
    };

    EmulatorImage();
    static EmulatorImage defaultImage(); // driver/default-image.json of the source tree
    static EmulatorImage fromFile(const QString& path);
    bool isValid() const { return m_root.isObject(); }

    EmulatorImage& setIdentity(unsigned modelCode, const QString& modelName, const QString& serialNumber,
                               const QString& firmware, bool fiscal = true);
    EmulatorImage& setDrawer(bool present);
    EmulatorImage& setLinkAddress(const QString& ipAddress);
    EmulatorImage& setLinkPort(int ipPort);
    // Every request waits this long, as on a slow line.
    EmulatorImage& setLinkLatency(int milliseconds);
    // Adds (or replaces) a table with zero-filled rows.
    EmulatorImage& addTable(unsigned id, const QVector<Field>& fields, int rowCount = 0);
    EmulatorImage& removeTable(unsigned id);
    // Zero-filled rows are added or rows dropped at the end.
    EmulatorImage& setRowCount(unsigned table, int rows);
    // The cell's bytes (padded with zeros by the library); a row beyond the end adds rows.
    EmulatorImage& setCell(unsigned table, int row, int field, const QByteArray& bytes);
    // A text cell in typed form: encoded by the library, padded with the field's fill.
    EmulatorImage& setText(unsigned table, int row, int field, const QString& text);
    EmulatorImage& addFault(const Fault& fault);
    EmulatorImage& clearFaults();

    bool hasTable(unsigned table) const;
    int rowCount(unsigned table) const;
    int fieldCount(unsigned table) const;
    int fieldWidth(unsigned table, int field) const;
    // The cell's bytes, padded with zeros to the field's width; empty when absent or typed text.
    QByteArray cell(unsigned table, int row, int field) const;

    bool save(const QString& path) const;
    // Saves as <dir>/register-image.json and points TILLO10_EMULATOR at it; with
    // trace, TILLO10_TRACE names an emptied <dir>/trace.log. Returns the image path.
    QString install(const QTemporaryDir& dir, bool trace = false) const;
    static void uninstall(); // unsets both variables
    static QString tracePath(const QTemporaryDir& dir);
    static QStringList traceLines(const QTemporaryDir& dir);

    Json::Value& json() { return m_root; }
    const Json::Value& json() const { return m_root; }

private:
    Json::Value* table(unsigned id);
    const Json::Value* table(unsigned id) const;

    Json::Value m_root;
};
