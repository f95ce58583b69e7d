#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QTextBrowser;

// A report's preview ("Отчёт о настройке ККТ"), with "Печать…" through Qt's
// print dialog and "Сохранить PDF…" into a PDF file on A4: the same HTML the
// shell program writes.
class ReportDlg : public QDialog
{
    Q_OBJECT

public:
    // fileName: proposed for the PDF, without a folder.
    ReportDlg(const QString& html, const QString& fileName, QWidget* parent = nullptr);

    // The document printed into a PDF file at path; an empty text on success,
    // otherwise why not.
    static QString writePdf(const QString& html, const QString& path);

private slots:
    void on_printButton_clicked();
    void on_pdfButton_clicked();

private:
    QString m_html;
    QString m_fileName;
    QTextBrowser* m_preview;
    QLabel* m_savedLabel;
};
