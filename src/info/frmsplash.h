#pragma once

#include "platform/form.h"

#include <memory>

class QTimer;

namespace Ui {
class frmSplash;
}

// Greets the user during sign-in; closes itself three seconds after it becomes active, or at
// once on a key press.
class frmSplash : public platform::Form<QWidget, frmSplash>
{
    Q_OBJECT
    Q_DISABLE_COPY(frmSplash)

public:
    frmSplash();
    ~frmSplash() override;

    Ui::frmSplash &controls() { return *ui; }
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

    std::unique_ptr<Ui::frmSplash> ui;
};
