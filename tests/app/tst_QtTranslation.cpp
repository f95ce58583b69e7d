#include "support/TestMain.h"

#include "common/QtTranslation.h"
#include "dialogs/FileDialog.h"
#include "dialogs/MessageBox.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTranslator>

#include <functional>

namespace {

QString withoutMnemonic(QString text)
{
    return text.remove(QLatin1Char('&'));
}

// The texts of a dialog's buttons as the user reads them.
QStringList buttonTexts(QWidget* dialog)
{
    QStringList texts;
    for (QAbstractButton* button : dialog->findChildren<QAbstractButton*>()) {
        if (button->isVisible() && !button->text().isEmpty())
            texts << withoutMnemonic(button->text());
    }
    texts.sort();
    return texts;
}

} // namespace

// Qt's own texts, in the boxes and dialogs the program shows, are Russian.
class QtTranslationTest : public QObject
{
    Q_OBJECT

    QTranslator* m_translator = nullptr;
    QTemporaryDir m_dir;

    // Runs `user` on the modal dialog that `show` brings up.
    void inModalDialog(const std::function<void()>& show, const std::function<void(QWidget*)>& user)
    {
        QTimer::singleShot(0, this, [&] {
            QWidget* dialog = QApplication::activeModalWidget();
            QVERIFY(dialog);
            user(dialog);
        });
        show();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_translator = QtTranslation::install();
        QVERIFY2(m_translator, "qtbase_ru is not installed (package qttranslations5-l10n)");
        MessageBox::setHandler(nullptr);
        FileDialog::setHandler(nullptr);
    }

    void cleanupTestCase()
    {
        QCoreApplication::removeTranslator(m_translator);
        delete m_translator;
    }

    void questionBox_data()
    {
        QTest::addColumn<QString>("press");
        QTest::addColumn<bool>("answer");
        QTest::newRow("Да") << "Да" << true;
        QTest::newRow("Нет") << "Нет" << false;
    }

    void questionBox()
    {
        QFETCH(QString, press);
        QFETCH(bool, answer);
        bool answered = !answer;
        QStringList seen;
        inModalDialog([&] { answered = MessageBox::question(nullptr, "Vescor", "Продолжить?"); },
                      [&](QWidget* dialog) {
                          auto* box = qobject_cast<QMessageBox*>(dialog);
                          QVERIFY(box);
                          seen = buttonTexts(box);
                          for (QAbstractButton* button : box->buttons()) {
                              if (withoutMnemonic(button->text()) == press)
                                  QTest::mouseClick(button, Qt::LeftButton);
                          }
                          if (box->isVisible())
                              box->reject();
                      });
        QCOMPARE(seen, QStringList({"Да", "Нет"}));
        QCOMPARE(answered, answer);
    }

    // The program's three file dialogs; Qt's own dialog where no native one is offered.
    void fileDialog_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QStringList>("buttons");
        QTest::addColumn<QStringList>("labels");
        QTest::newRow("import: open a file") << int(FileDialog::OpenFileName) << QStringList{"Открыть", "Отмена"}
                                             << QStringList{"Перейти к:", "Имя файла:", "Типы файлов:"};
        QTest::newRow("export: save a file") << int(FileDialog::SaveFileName) << QStringList{"Отмена", "Сохранить"}
                                             << QStringList{"Перейти к:", "Имя файла:", "Типы файлов:"};
        QTest::newRow("export all: choose a directory")
            << int(FileDialog::ExistingDirectory) << QStringList{"Выбрать", "Отмена"}
            << QStringList{"Перейти к:", "Каталог:"};
    }

    void fileDialog()
    {
        QFETCH(int, kind);
        QFETCH(QStringList, buttons);
        QFETCH(QStringList, labels);
        QStringList seenButtons;
        QStringList seenLabels;
        QString chosen = QStringLiteral("not asked");
        const QString filter = QStringLiteral("Файлы CSV (*.csv)");
        inModalDialog(
            [&] {
                switch (FileDialog::Kind(kind)) {
                case FileDialog::OpenFileName:
                    chosen = FileDialog::getOpenFileName(nullptr, "Импорт", m_dir.path(), filter);
                    break;
                case FileDialog::SaveFileName:
                    chosen = FileDialog::getSaveFileName(nullptr, "Экспорт", m_dir.path(), filter);
                    break;
                case FileDialog::ExistingDirectory:
                    chosen = FileDialog::getExistingDirectory(nullptr, "Экспорт", m_dir.path());
                    break;
                }
            },
            [&](QWidget* dialog) {
                QVERIFY(qobject_cast<QFileDialog*>(dialog));
                auto* box = dialog->findChild<QDialogButtonBox*>();
                QVERIFY(box);
                seenButtons = buttonTexts(box);
                for (QLabel* label : dialog->findChildren<QLabel*>()) {
                    if (label->isVisible() && !label->text().isEmpty())
                        seenLabels << withoutMnemonic(label->text());
                }
                QTest::keyClick(dialog, Qt::Key_Escape);
                if (dialog->isVisible())
                    qobject_cast<QDialog*>(dialog)->reject();
            });
        QCOMPARE(seenButtons, buttons);
        for (const QString& label : labels)
            QVERIFY2(seenLabels.contains(label), qPrintable(seenLabels.join(QLatin1Char('|'))));
        QCOMPARE(chosen, QString());
    }
};

VESCOR_TEST(QtTranslationTest)
#include "tst_QtTranslation.moc"
