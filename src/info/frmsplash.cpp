#include "info/frmsplash.h"

#include "platform/identity.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <qdrawutil.h>

using namespace platform;

namespace {

void setPointSize(QWidget *control, qreal points)
{
    QFont font = control->font();
    font.setPointSizeF(points);
    control->setFont(font);
}

} // namespace

frmSplash::frmSplash() : timTimer(new QTimer(this))
{
    setupUi(this);
    // No title bar, no taskbar entry.
    setWindowFlags(Qt::SplashScreen | Qt::FramelessWindowHint);
    setFixedSize(size());
    // Designer keeps whole points only.
    setPointSize(lblProductName, 32.25);
    setPointSize(lblVersion, 8.25);
    setPointSize(lblCopyright, 8.25);
    imgLogo->setPixmap(QApplication::windowIcon().pixmap(32, 32));

    timTimer->setTimerType(Qt::PreciseTimer);
    timTimer->setInterval(3000);
    connect(timTimer, &QTimer::timeout, this, &frmSplash::timTimer_Timer);

    // Key preview: a key pressed over any control reaches the window first.
    installEventFilter(this);
    for (QWidget *control : findChildren<QWidget *>())
        control->installEventFilter(this);

    Form_Load();
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
}

void frmSplash::Form_Load()
{
    lblVersion->setText(VersionText());
    lblProductName->setText(AppTitle());
    lblProductName->adjustSize();
    lblCopyright->setText(QStringLiteral("Copyright © 2026 ") + CompanyName());
}

void frmSplash::Form_Activate()
{
    // Enabling a running timer keeps its count: the splash lasts three seconds from the first
    // activation, however often it is activated again.
    if (!timTimer->isActive())
        timTimer->start();
}

void frmSplash::Form_KeyPress()
{
    close();
}

void frmSplash::timTimer_Timer()
{
    close();
}

bool frmSplash::event(QEvent *event)
{
    if (event->type() == QEvent::WindowActivate)
        Form_Activate();
    return QWidget::event(event);
}

bool frmSplash::eventFilter(QObject *watched, QEvent *event)
{
    // Only keys that give a character count; Enter and Esc do.
    if (event->type() == QEvent::KeyPress && !static_cast<QKeyEvent *>(event)->text().isEmpty()) {
        Form_KeyPress();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void frmSplash::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // Window managers need not activate a splash window, and an activation may arrive before the
    // window is seen as shown: asking for it and counting the show as one keeps the timer sure.
    activateWindow();
    Form_Activate();
}

void frmSplash::paintEvent(QPaintEvent *event)
{
    QWidget::paintEvent(event);
    // The raised edge of a dialog frame, which a window without a title bar otherwise lacks.
    QPainter painter(this);
    qDrawWinPanel(&painter, rect(), palette(), false);
}
