#pragma once

#include "platform/form.h"
#include "ui_frmlogin.h"

#include <QDialog>

// Asks for the service's user name and password and stores them for the settings download.
class frmLogin : public platform::Form<QDialog, frmLogin>, public Ui::frmLogin
{
    Q_OBJECT
    Q_DISABLE_COPY(frmLogin)

public:
    frmLogin();

    // Modal; returns once the dialog is hidden by OK (Cancel ends the program).
    void ShowModal();

public Q_SLOTS:
    void cmdOK_Click();
    void cmdCancel_Click();
    void reject() override; // Esc

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void lblSignup_MouseMove();
    void lblSignup_DragLeave();
    void lblSignup_DragDrop();
};
