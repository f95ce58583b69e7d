#include "SettingsDlg.h"

#include "ui_SettingsDlg.h"

SettingsDlg::SettingsDlg(libtillo_handle handle, QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::SettingsDlg)
    , m_handle(handle)
{
    ui->setupUi(this);
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
}

SettingsDlg::~SettingsDlg()
{
    delete ui;
}

void SettingsDlg::on_pbtnCheckConnection_clicked()
{
}

void SettingsDlg::on_pbtnOK_clicked()
{
    accept();
}
