#include "QtTranslation.h"

#include <QCoreApplication>
#include <QDebug>
#include <QLibraryInfo>
#include <QTranslator>

QTranslator* QtTranslation::install()
{
    auto* application = QCoreApplication::instance();
    if (!application)
        return nullptr;
    const QString directory = QLibraryInfo::location(QLibraryInfo::TranslationsPath);
    auto* translator = new QTranslator(application);
    if (!translator->load(QStringLiteral("qtbase_ru"), directory) || !QCoreApplication::installTranslator(translator)) {
        qDebug() << "Qt translation qtbase_ru not found in" << directory;
        delete translator;
        return nullptr;
    }
    return translator;
}
