#pragma once

#include "platform/form.h"

#include <QDialog>
#include <memory>

namespace Ui {
class frmAbout;
}

// The About box: at most one, brought up again rather than opened twice.
class frmAbout : public platform::Form<QDialog, frmAbout>
{
    Q_OBJECT
    Q_DISABLE_COPY(frmAbout)

public:
    frmAbout();
    ~frmAbout() override;

    Ui::frmAbout &controls() { return *ui; }

public Q_SLOTS:
    void cmdOK_Click();
    void reject() override; // Esc

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void Form_Load();

    std::unique_ptr<Ui::frmAbout> ui;
};
