#include "startup/frmlogin.h"

#include "platform/frame.h"
#include "platform/identity.h"
#include "platform/messagebox.h"
#include "platform/settingsstore.h"
#include "platform/shell.h"
#include "platform/strings.h"
#include "session/userrequests.h"
#include "window/frmmain.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

using namespace platform;

frmLogin::frmLogin()
{
    setupUi(this);
    // No control box: a title bar without close, minimise or maximise buttons.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setFixedSize(size());
    lblSignup->setTextFormat(Qt::PlainText);
    lblSignup->installEventFilter(this);
    connect(cmdOK, &QPushButton::clicked, this, &frmLogin::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmLogin::cmdCancel_Click);
    KeepOutOfTaskbar(this, &frmMain::instance());
}

void frmLogin::ShowModal()
{
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    exec();
}

void frmLogin::cmdOK_Click()
{
    const QString userName = TrimSpaces(txtUserName->text());
    const QString password = TrimSpaces(txtPassword->text());
    if (userName.isEmpty() || password.isEmpty()) {
        MsgBox(QStringLiteral("You must enter a valid username and password."), vbInformation,
               QStringLiteral("Error"));
        return;
    }
    SaveSetting(AppTitle(), QStringLiteral("Login"), QStringLiteral("Username"), userName);
    SaveSetting(AppTitle(), QStringLiteral("Login"), QStringLiteral("Password"), password);
    hide();
}

void frmLogin::cmdCancel_Click()
{
    hide();
    Q_EMIT UserRequests::instance().ExitAsked();
}

void frmLogin::reject()
{
    cmdCancel_Click();
}

bool frmLogin::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == lblSignup) {
        switch (event->type()) {
        case QEvent::Enter:
        case QEvent::MouseMove:
            lblSignup_MouseMove();
            break;
        case QEvent::Leave:
            lblSignup_DragLeave();
            break;
        case QEvent::MouseButtonRelease:
            if (lblSignup->rect().contains(static_cast<QMouseEvent *>(event)->position().toPoint()))
                lblSignup_DragDrop();
            break;
        default:
            break;
        }
    }
    return QDialog::eventFilter(watched, event);
}

namespace {

void setLinkLook(QLabel *label, const QColor &colour, bool underline)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
    QFont font = label->font();
    font.setUnderline(underline);
    label->setFont(font);
}

} // namespace

void frmLogin::lblSignup_MouseMove()
{
    setLinkLook(lblSignup, QColor(0, 0, 255), true);
    lblSignup->setCursor(Qt::PointingHandCursor);
}

void frmLogin::lblSignup_DragLeave()
{
    setLinkLook(lblSignup, QGuiApplication::palette().color(QPalette::ButtonText), false);
    lblSignup->unsetCursor();
}

void frmLogin::lblSignup_DragDrop()
{
    ShellExecute(QStringLiteral("http://") + ServiceHost() + QStringLiteral("/lexorn/signup.php"));
}

void frmLogin::closeEvent(QCloseEvent *event)
{
    // The dialog has no close box: the user leaves it through OK or Cancel only.
    if (event->spontaneous())
        event->ignore();
    else
        Form::closeEvent(event);
}

void frmLogin::paintEvent(QPaintEvent *event)
{
    QDialog::paintEvent(event);
    // The etched separator above the sign-up link.
    QPainter painter(this);
    painter.setPen(QColor(128, 128, 128));
    painter.drawLine(TwipsToPixels(120), TwipsToPixels(1560), TwipsToPixels(3615),
                     TwipsToPixels(1560));
    painter.setPen(Qt::white);
    painter.drawLine(TwipsToPixels(135), TwipsToPixels(1575), TwipsToPixels(3615),
                     TwipsToPixels(1575));
}
