#pragma once

#include "platform/form.h"
#include "ui_frmsplash.h"

class QTimer;

// Greets the user during sign-in; closes itself three seconds after it becomes active, or at
// once on a key press.
class frmSplash : public platform::Form<QWidget, frmSplash>, public Ui::frmSplash
{
    Q_OBJECT
    Q_DISABLE_COPY(frmSplash)

public:
    frmSplash();

    QTimer *const timTimer;

public Q_SLOTS:
    void timTimer_Timer();

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void Form_Load();
    void Form_Activate();
    void Form_KeyPress();
};
