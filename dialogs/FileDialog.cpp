#include "FileDialog.h"

FileDialog::Handler& FileDialog::handler()
{
    static Handler h;
    return h;
}

void FileDialog::setHandler(Handler h)
{
    handler() = std::move(h);
}

QString FileDialog::ask(const Request& request)
{
    if (handler())
        return handler()(request);
    switch (request.kind) {
    case ExistingDirectory:
        return QFileDialog::getExistingDirectory(request.parent, request.caption, request.dir, request.options);
    case SaveFileName:
        return QFileDialog::getSaveFileName(request.parent, request.caption, request.dir, request.filter, nullptr,
                                            request.options);
    case OpenFileName:
        if (request.severalFiles) {
            return QFileDialog::getOpenFileNames(request.parent, request.caption, request.dir, request.filter, nullptr,
                                                 request.options)
                .join(QLatin1Char('\n'));
        }
        break;
    }
    return QFileDialog::getOpenFileName(request.parent, request.caption, request.dir, request.filter, nullptr,
                                        request.options);
}

QString FileDialog::getExistingDirectory(QWidget* parent, const QString& caption, const QString& dir,
                                         QFileDialog::Options options)
{
    return ask({ExistingDirectory, parent, caption, dir, QString(), options});
}

QString FileDialog::getSaveFileName(QWidget* parent, const QString& caption, const QString& dir,
                                    const QString& filter, QFileDialog::Options options)
{
    return ask({SaveFileName, parent, caption, dir, filter, options});
}

QString FileDialog::getOpenFileName(QWidget* parent, const QString& caption, const QString& dir,
                                    const QString& filter, QFileDialog::Options options)
{
    return ask({OpenFileName, parent, caption, dir, filter, options});
}

QStringList FileDialog::getOpenFileNames(QWidget* parent, const QString& caption, const QString& dir,
                                         const QString& filter, QFileDialog::Options options)
{
    return ask({OpenFileName, parent, caption, dir, filter, options, true}).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}
