#include "SettingsDlg.h"

#include "ui_SettingsDlg.h"

#include "MessageBox.h"

#include "common/Errors.h"
#include "device/DriverLibrary.h"
#include "device/KKT_Logic.h"
#include "device/RegisterIdentity.h"
#include "settings/DriverSettingsJson.h"
#include "settings/GuardedCall.h"
#include "settings/SettingsMapping.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLineEdit>

#include <string>
#include <vector>

namespace {

const QString EmptyMac = QStringLiteral("00:00:00:00:00:00");

// Register models for which the model named in the settings is not checked.
bool isAnyModel(int model)
{
    return model == 500 || model == 99999;
}

QString currentKey(const QComboBox* box)
{
    return box->currentData().toString();
}

// Makes current the first entry whose key passes the test; otherwise leaves the box as it is.
template <typename Match>
void selectKey(QComboBox* box, Match match)
{
    for (int i = 0; i < box->count(); ++i) {
        if (match(box->itemData(i).toString())) {
            box->setCurrentIndex(i);
            return;
        }
    }
}

void selectNumber(QComboBox* box, int value)
{
    selectKey(box, [value](const QString& key) { return key.toInt() == value; });
}

void selectText(QComboBox* box, const QString& value)
{
    selectKey(box, [&value](const QString& key) { return key == value; });
}

} // namespace

SettingsDlg::SettingsDlg(libtillo_handle handle, QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::SettingsDlg)
    , m_handle(handle)
{
    ui->setupUi(this);
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    // The result line is often longer than the field: its tooltip shows it whole.
    connect(ui->leResult, &QLineEdit::textChanged, ui->leResult, &QLineEdit::setToolTip);

    fillFromMapping(ui->cmbConnectionType, QStringLiteral("Port"));
    fillFromMapping(ui->cmbComFile, QStringLiteral("ComFile"));
    fillFromMapping(ui->cmbBaudrate, QStringLiteral("BaudRate"));
    fillFromMapping(ui->cmbUsbDevicePath, QStringLiteral("UsbDevicePath"));

    // The USB path is kept and written back, but not offered to the user.
    ui->cmbUsbDevicePath->hide();
    ui->lblUsbDevicePath->hide();
    const QFormLayout::TakeRowResult usbRow = ui->formLayout->takeRow(ui->cmbUsbDevicePath);
    delete usbRow.labelItem; // the layout items only; the widgets stay with the dialog
    delete usbRow.fieldItem;

    showSettings(readSettings());

    // The form's own first size (676 by 242), grown only where the fields need more.
    resize(size().expandedTo(minimumSizeHint()));
    if (parent) {
        const QRect area = parent->isWindow() ? parent->geometry()
                                              : QRect(parent->mapToGlobal(QPoint(0, 0)), parent->size());
        move(area.center() - rect().center());
    }
}

SettingsDlg::~SettingsDlg()
{
    delete ui;
}

void SettingsDlg::fillFromMapping(QComboBox* box, const QString& key)
{
    DriverLibrary& driver = DriverLibrary::instance();
    QString text;
    try {
        driver.setParamStr(m_handle, LIBTILLO_PARAM_MAPPING_INPUT, key.toStdWString().c_str());
        GuardedCall::run(m_handle, [&driver](libtillo_handle h) { return driver.utilMapping(h); });
        text = driver.paramString(m_handle, LIBTILLO_PARAM_MAPPING_OUTPUT, 128);
    } catch (const std::exception& e) {
        ui->leResult->setText(QString::fromUtf8(e.what()));
        text.clear();
    }

    box->clear();
    QString error;
    for (const SettingsMapping::Entry& entry : SettingsMapping::parse(text, &error))
        box->addItem(entry.description, entry.key);
    // An empty text follows a failure already shown above.
    if (!text.isEmpty() && !error.isEmpty())
        ui->leResult->setText(tr("Список значений \"%1\" драйвера не прочитан: %2").arg(key, error));
}

DriverSettings SettingsDlg::readSettings()
{
    DriverLibrary& driver = DriverLibrary::instance();
    std::vector<wchar_t> buffer(512, L'\0');
    int needed = driver.getSettings(m_handle, buffer.data(), int(buffer.size()));
    if (needed > int(buffer.size())) {
        buffer.assign(size_t(needed), L'\0');
        needed = driver.getSettings(m_handle, buffer.data(), int(buffer.size()));
    }
    if (needed < 0) {
        // Say so rather than let the empty record pass for the driver's settings.
        ui->leResult->setText(QString::fromUtf8(GuardedCall::lastError(m_handle).what()));
        return DriverSettings();
    }
    buffer.back() = L'\0';
    m_driverText = std::wstring(buffer.data());
    return DriverSettingsJson::fromText(QString::fromWCharArray(buffer.data()));
}

void SettingsDlg::showSettings(const DriverSettings& settings)
{
    m_settings = settings;
    selectNumber(ui->cmbBaudrate, settings.BaudRate);
    selectText(ui->cmbComFile, settings.ComFile);
    selectNumber(ui->cmbConnectionType, settings.Port);
    selectText(ui->cmbUsbDevicePath, settings.UsbDevicePath);
    ui->leIPAddress->setText(settings.IPAddress);
    ui->spinIPPort->setValue(settings.IPPort);
    ui->leMACAddress->setText(settings.MACAddress.isEmpty() ? EmptyMac : settings.MACAddress);
}

DriverSettings SettingsDlg::settingsFromWidgets() const
{
    // What the dialog does not show passes through as it was read.
    DriverSettings s = m_settings;
    s.BaudRate = currentKey(ui->cmbBaudrate).toInt();
    s.Port = currentKey(ui->cmbConnectionType).toInt();
    s.UsbDevicePath = currentKey(ui->cmbUsbDevicePath);
    s.ComFile = currentKey(ui->cmbComFile);
    s.IPAddress = ui->leIPAddress->text();
    s.MACAddress = ui->leMACAddress->text();
    s.IPPort = ui->spinIPPort->value();
    return s;
}

void SettingsDlg::applySettings()
{
    const std::wstring text = DriverSettingsJson::toText(settingsFromWidgets()).toStdWString();
    if (DriverLibrary::instance().setSettings(m_handle, text.c_str()) < 0)
        throw GuardedCall::lastError(m_handle);
}

void SettingsDlg::on_pbtnCheckConnection_clicked()
{
    try {
        checkConnection();
    } catch (const std::exception& e) {
        ui->leResult->setText(QString::fromUtf8(e.what()));
        DriverLibrary::instance().close(m_handle);
    }
}

void SettingsDlg::checkConnection()
{
    DriverLibrary& driver = DriverLibrary::instance();
    ui->leResult->clear();
    m_driverChanged = true;
    applySettings();

    GuardedCall::run(m_handle, [&driver](libtillo_handle h) { return driver.open(h); });
    driver.setParamInt(m_handle, LIBTILLO_PARAM_QUERY, LIBTILLO_QUERY_STATUS);
    GuardedCall::run(m_handle, [&driver](libtillo_handle h) { return driver.queryData(h); });

    const RegisterIdentity identity = RegisterIdentity::fromStatusQuery(RegisterLink(driver, m_handle, KKT_Logic::charsets()));
    const QString fiscal = identity.fiscal ? tr("ФИСК.") : tr("НЕФИСК.");
    const QString result =
        tr("%1, №%2, версия: %3, %4").arg(identity.modelName, identity.serialNumber, identity.firmware, fiscal);

    try {
        GuardedCall::run(m_handle, [&driver](libtillo_handle h) { return driver.openDrawer(h); });
    } catch (const DriverException& e) {
        // A register without a drawer still answered.
        if (e.code() != LIBTILLO_ERROR_NO_DRAWER)
            throw;
    }
    GuardedCall::run(m_handle, [&driver](libtillo_handle h) { return driver.close(h); });

    ui->leResult->setText(result);
    ui->leResult->setCursorPosition(0);

    if (isAnyModel(m_settings.Model) || m_settings.Model == identity.modelCode)
        return;
    MessageBox::show({this, QMessageBox::Warning, tr("Внимание!"),
                      tr("Выбранная модель отличается от определенной. Пожалуйста, проверьте настройки."),
                      QMessageBox::Ok, QMessageBox::NoButton});
}

void SettingsDlg::reject()
{
    // A check handed the dialog's settings to the driver; a dialog left
    // without "OK" gives the driver back what it held before.
    if (m_driverChanged && !m_driverText.empty()) {
        DriverLibrary::instance().setSettings(m_handle, m_driverText.c_str());
        m_driverChanged = false;
    }
    QDialog::reject();
}

void SettingsDlg::on_pbtnOK_clicked()
{
    // "OK" keeps the chosen settings: the driver takes them without a check of
    // the link, and the settings file receives them when the program ends.
    // A refusal keeps the dialog open with the driver's reason.
    try {
        applySettings();
    } catch (const std::exception& e) {
        ui->leResult->setText(QString::fromUtf8(e.what()));
        ui->leResult->setCursorPosition(0);
        return;
    }
    accept();
}
