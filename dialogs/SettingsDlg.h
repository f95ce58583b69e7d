#pragma once

#include "settings/DriverSettings.h"

#include <tillo10.h>

#include <QDialog>

#include <string>

namespace Ui {
class SettingsDlg;
}

// The connection settings dialog "Настройки": edits the driver's settings and checks the link.
class SettingsDlg : public QDialog
{
    Q_OBJECT

public:
    SettingsDlg(libtillo_handle handle, QWidget* parent = nullptr);
    ~SettingsDlg() override;

    // Esc, "Отмена" and the close button: the driver keeps the settings it had when the dialog opened.
    void reject() override;

private slots:
    void on_pbtnCheckConnection_clicked();
    void on_pbtnOK_clicked();

private:
    void fillFromMapping(class QComboBox* box, const QString& key);
    DriverSettings readSettings();
    void showSettings(const DriverSettings& settings);
    DriverSettings settingsFromWidgets() const;
    void applySettings();
    void checkConnection();

    Ui::SettingsDlg* ui;
    libtillo_handle m_handle;
    DriverSettings m_settings;
    // The driver's settings as the dialog found them, and whether a check has replaced them since.
    std::wstring m_driverText;
    bool m_driverChanged = false;
};
