#pragma once

#include "platform/form.h"
#include "ui_frmabout.h"

#include <QDialog>

// The About box: at most one, brought up again rather than opened twice.
class frmAbout : public platform::Form<QDialog, frmAbout>, public Ui::frmAbout
{
    Q_OBJECT
    Q_DISABLE_COPY(frmAbout)

public:
    frmAbout();

public Q_SLOTS:
    void cmdOK_Click();
    void reject() override; // Esc

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void Form_Load();
};
