#pragma once

#include <QFileDialog>
#include <QString>
#include <QStringList>

#include <functional>

// The one place where the program's file dialogs are shown. Tests install a
// handler that answers instead of a user and sees what would have been asked.
class FileDialog
{
public:
    enum Kind { ExistingDirectory, SaveFileName, OpenFileName };

    struct Request
    {
        Kind kind = OpenFileName;
        QWidget* parent = nullptr;
        QString caption;
        QString dir;
        QString filter; // empty for a directory
        QFileDialog::Options options;
        bool severalFiles = false; // OpenFileName: one file or more may be chosen
    };
    // Returns the chosen path; an empty one when the user cancels. Where
    // several files may be chosen, the chosen paths one a line.
    using Handler = std::function<QString(const Request&)>;

    static QString getExistingDirectory(QWidget* parent, const QString& caption, const QString& dir,
                                        QFileDialog::Options options = QFileDialog::ShowDirsOnly);
    static QString getSaveFileName(QWidget* parent, const QString& caption, const QString& dir,
                                   const QString& filter, QFileDialog::Options options = QFileDialog::Options());
    static QString getOpenFileName(QWidget* parent, const QString& caption, const QString& dir,
                                   const QString& filter, QFileDialog::Options options = QFileDialog::Options());

    // The files chosen, in the order chosen; none when the user cancels.
    static QStringList getOpenFileNames(QWidget* parent, const QString& caption, const QString& dir,
                                        const QString& filter, QFileDialog::Options options = QFileDialog::Options());

    // An empty handler restores the real dialogs.
    static void setHandler(Handler handler);

private:
    static QString ask(const Request& request);
    static Handler& handler();
};
