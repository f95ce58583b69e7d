#pragma once

#include "settings/DriverSettings.h"

#include <tillo10.h>

#include <QDialog>

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
};
