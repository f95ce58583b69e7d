#include "support/FieldNames.h"
#include "support/TestMain.h"

#include <QComboBox>
#include <QDialog>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>

#include <functional>

Q_DECLARE_METATYPE(std::function<void(QDialog&)>)

// The walk over a dialog's fields that the dialog tests rely on: it has to
// find a field without a name, or the dialogs' checks prove nothing.
class FieldNamesTest : public QObject
{
    Q_OBJECT

private slots:
    void unnamed_data()
    {
        using Build = std::function<void(QDialog&)>;
        QTest::addColumn<Build>("build");
        QTest::addColumn<QStringList>("unnamed");

        const auto combo = [](QDialog& d) {
            auto* box = new QComboBox(&d);
            box->setObjectName(QStringLiteral("box"));
            box->addItems({QStringLiteral("COM"), QStringLiteral("USB")});
            return box;
        };
        QTest::newRow("drop-down with a buddy label") << Build([=](QDialog& d) {
            auto* form = new QFormLayout(&d);
            form->addRow(QStringLiteral("&Канал связи:"), combo(d));
        }) << QStringList();
        // Qt on Linux names a drop-down by its choice all the same.
        QTest::newRow("drop-down with only a name of its own") << Build([=](QDialog& d) {
            combo(d)->setAccessibleName(QStringLiteral("Канал связи"));
        }) << QStringList{"box (QComboBox)"};
        QTest::newRow("line edit with a name of its own") << Build([](QDialog& d) {
            auto* edit = new QLineEdit(&d);
            edit->setObjectName(QStringLiteral("edit"));
            edit->setAccessibleName(QStringLiteral("IP-адрес"));
        }) << QStringList();
        QTest::newRow("drop-down beside a label that is no buddy") << Build([=](QDialog& d) {
            new QLabel(QStringLiteral("Канал связи:"), &d);
            combo(d);
        }) << QStringList{"box (QComboBox)"};
        QTest::newRow("drop-down named by a choice") << Build([=](QDialog& d) {
            combo(d)->setAccessibleName(QStringLiteral("USB"));
        }) << QStringList{"box (QComboBox)"};
        QTest::newRow("spin box named by a colon") << Build([](QDialog& d) {
            auto* spin = new QSpinBox(&d);
            spin->setObjectName(QStringLiteral("port"));
            (new QLabel(QStringLiteral(":"), &d))->setBuddy(spin);
        }) << QStringList{"port (QSpinBox)"};
        QTest::newRow("spin box named by its value") << Build([](QDialog& d) {
            auto* spin = new QSpinBox(&d);
            spin->setObjectName(QStringLiteral("port"));
            spin->setValue(5);
            spin->setAccessibleName(QStringLiteral("5"));
        }) << QStringList{"port (QSpinBox)"};
        QTest::newRow("hidden line edit, table and button") << Build([](QDialog& d) {
            auto* edit = new QLineEdit(&d);
            edit->setObjectName(QStringLiteral("edit"));
            edit->hide();
            (new QTableWidget(2, 2, &d))->setObjectName(QStringLiteral("table"));
            (new QPushButton(&d))->setObjectName(QStringLiteral("button"));
            (new QPushButton(QStringLiteral("OK"), &d))->setObjectName(QStringLiteral("ok"));
        }) << QStringList{"edit (QLineEdit)", "table (QTableWidget)", "button (QPushButton)"};
    }

    void unnamed()
    {
        QFETCH(std::function<void(QDialog&)>, build);
        QFETCH(QStringList, unnamed);
        QDialog dialog;
        build(dialog);
        QCOMPARE(FieldNames::unnamed(dialog), unnamed);
    }
};

VESCOR_TEST(FieldNamesTest)

#include "tst_FieldNames.moc"
