#pragma once

#include "support/EmulatorImage.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

// A test's own folder with an emulated register installed in it, and the
// journal kept below it: while the folder lives, XDG_DATA_HOME points into it,
// so the programs' journal never touches the user's. Gone with the object:
// the register uninstalled, XDG_DATA_HOME as it was, the folder removed.
//
//   m_dir = std::make_unique<RegisterFolder>(image, true);   // also traces calls
//   QVERIFY(m_dir->isValid());
//   runCli({"import", m_dir->filePath("taxes.csv")}, m_dir->path());
class RegisterFolder : public QTemporaryDir
{
public:
    explicit RegisterFolder(const EmulatorImage& image = EmulatorImage::defaultImage(), bool trace = false);
    ~RegisterFolder();
    RegisterFolder(const RegisterFolder&) = delete;
    RegisterFolder& operator=(const RegisterFolder&) = delete;

    QString image() const { return m_image; } // the installed image's file
    QString journalDir() const;               // where the programs keep the journal's files

private:
    QByteArray m_dataHome;
    QString m_image;
};
