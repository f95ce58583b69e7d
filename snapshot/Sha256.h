#pragma once

#include <QString>

#include <memory>

// The SHA-256 digest of bytes handed in pieces, as the snapshot's manifest
// keeps it (lower-case hex). Computed by OpenSSL, which uses the processor's
// SHA instructions where it has them: a table's file of several megabytes is
// digested on every save and every open of a snapshot.
class Sha256
{
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void addData(const char* data, qint64 size);
    // The digest of everything added; ends the digest.
    QString hex();

private:
    struct Context;
    std::unique_ptr<Context> m_context;
};
