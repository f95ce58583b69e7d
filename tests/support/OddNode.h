#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <memory>

// What a program may find where it is about to write a file, other than a
// regular file or nothing: made in a test's folder and looked at again
// afterwards, to check that the program kept it as it was.
//
//   OddNode node(kind, dir.filePath("kassa.zip"));
//   if (!node.skipReason().isEmpty()) QSKIP(...);
//   ... the program writes there ...
//   QVERIFY2(node.unchanged(), qPrintable(node.change()));
class OddNode
{
public:
    enum Kind {
        Fifo,          // made with mkfifo
        LinkOutside,   // a symbolic link to a file in another folder
        Folder,
        CharDevice,    // made with mknod (the null device's numbers); root only
    };

    static constexpr Kind Kinds[] = {Fifo, LinkOutside, Folder, CharDevice};
    static const char* name(Kind kind);

    OddNode(Kind kind, const QString& path);
    ~OddNode();

    // Empty when the node was made; otherwise why this run cannot make it.
    const QString& skipReason() const { return m_skip; }
    // Whether path still holds the node it was made with (the same kind,
    // inode and device numbers, a link leading where it led, its target's
    // bytes as they were).
    bool unchanged() const { return change().isEmpty(); }
    // What changed; empty when nothing did.
    QString change() const;

    const QString& path() const { return m_path; }
    // The word that a refusal of this kind names ("это папка" for a folder).
    QString refusalWords() const;

private:
    Kind m_kind;
    QString m_path;
    QString m_skip;
    QTemporaryDir m_outside;        // the link's target lives here
    QString m_target;
    QByteArray m_targetBytes = "kept outside\n";
    unsigned long long m_inode = 0;
    unsigned long long m_device = 0;
};
