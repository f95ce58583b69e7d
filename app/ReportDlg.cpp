#include "ReportDlg.h"

#include "common/Product.h"
#include "common/WritableTarget.h"
#include "dialogs/FileDialog.h"
#include "dialogs/MessageBox.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPageLayout>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTextBrowser>
#include <QTextDocument>
#include <QVBoxLayout>

#include <cstdio>

namespace {

void printOn(const QString& html, QPrinter& printer)
{
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
    QTextDocument document;
    document.setHtml(html);
    document.print(&printer);
}

} // namespace

ReportDlg::ReportDlg(const QString& html, const QString& fileName, QWidget* parent)
    : QDialog(parent), m_html(html), m_fileName(fileName)
{
    setWindowTitle(QStringLiteral("Отчёт о настройке ККТ"));
    resize(900, 700);
    m_preview = new QTextBrowser(this);
    m_preview->setObjectName(QStringLiteral("preview"));
    m_preview->setAccessibleName(QStringLiteral("Отчёт"));
    m_preview->setOpenLinks(false);
    m_preview->setHtml(html);
    auto* printButton = new QPushButton(QStringLiteral("Печать…"), this);
    printButton->setObjectName(QStringLiteral("printButton"));
    auto* pdfButton = new QPushButton(QStringLiteral("Сохранить PDF…"), this);
    pdfButton->setObjectName(QStringLiteral("pdfButton"));
    auto* closeButton = new QPushButton(QStringLiteral("Закрыть"), this);
    closeButton->setObjectName(QStringLiteral("closeButton"));
    connect(closeButton, &QPushButton::clicked, this, &QDialog::accept);
    for (QPushButton* button : {printButton, pdfButton, closeButton})
        button->setAutoDefault(false);
    m_savedLabel = new QLabel(this);
    m_savedLabel->setObjectName(QStringLiteral("savedLabel"));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(printButton);
    buttons->addWidget(pdfButton);
    buttons->addWidget(m_savedLabel, 1);
    buttons->addWidget(closeButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_preview, 1);
    layout->addLayout(buttons);
    QMetaObject::connectSlotsByName(this);
}

QString ReportDlg::writePdf(const QString& html, const QString& path)
{
    if (const QString refused = WritableTarget::refusal(path); !refused.isEmpty())
        return refused;
    // Printed beside the file first: a failed print leaves a file at path as it was.
    const QString part = path + QStringLiteral(".part");
    QFile::remove(part);
    {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(part);
        printer.setDocName(QStringLiteral("Отчёт о настройке ККТ"));
        printer.setCreator(product::windowTitle());
        printOn(html, printer);
    }
    if (QFileInfo(part).size() <= 0) {
        QFile::remove(part);
        return QStringLiteral("файл не создан (нет доступа к папке или нет места на диске)");
    }
    // Whatever took the path's place meanwhile is kept, not replaced.
    if (const QString refused = WritableTarget::refusal(path); !refused.isEmpty()) {
        QFile::remove(part);
        return refused;
    }
    if (std::rename(QFile::encodeName(part).constData(), QFile::encodeName(path).constData()) != 0) {
        QFile::remove(part);
        return QStringLiteral("файл не удалось переименовать в %1").arg(QDir::toNativeSeparators(path));
    }
    return QString();
}

void ReportDlg::on_printButton_clicked()
{
    QPrinter printer(QPrinter::HighResolution);
    QPrintDialog dialog(&printer, this);
    dialog.setWindowTitle(QStringLiteral("Печать отчёта"));
    if (dialog.exec() == QDialog::Accepted)
        printOn(m_html, printer);
}

void ReportDlg::on_pdfButton_clicked()
{
    QString path = FileDialog::getSaveFileName(this, QStringLiteral("Сохранить отчёт в PDF"),
                                               QDir::home().filePath(m_fileName),
                                               QStringLiteral("Документы PDF (*.pdf);;Все файлы (*)"));
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".pdf");
    const QString why = writePdf(m_html, path);
    if (!why.isEmpty()) {
        m_savedLabel->clear();
        MessageBox::critical(this, product::displayName(),
                             QStringLiteral("Отчёт не сохранён в %1: %2").arg(QDir::toNativeSeparators(path), why));
        return;
    }
    m_savedLabel->setText(QStringLiteral("Сохранено: %1").arg(QDir::toNativeSeparators(path)));
}
