#pragma once

// Reading and changing the files that a test or a program under test wrote.

#include <QByteArray>
#include <QString>

// The file's bytes; empty when it cannot be read.
QByteArray fileBytes(const QString& path);
// Replaces the file's contents; false when they could not be written whole.
bool writeBytes(const QString& path, const QByteArray& bytes);
// Replaces the first `from` of a table file's text by `to`, in the file's own
// character set, as a user's editor would; false when `from` is not in it.
bool replaceInTableFile(const QString& path, const QString& from, const QString& to);
