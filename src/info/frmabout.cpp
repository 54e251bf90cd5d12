#include "info/frmabout.h"

#include "platform/identity.h"

#include <QApplication>
#include <QPainter>

using namespace platform;

frmAbout::frmAbout()
{
    setupUi(this);
    // A title bar with a close box only.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    // The client area's stored place on the screen.
    setGeometry(TwipsToPixels(2340), TwipsToPixels(1935), TwipsToPixels(5730), TwipsToPixels(3555));
    setFixedSize(size());
    QPalette black = lblDescription->palette();
    black.setColor(QPalette::WindowText, Qt::black);
    lblDescription->setPalette(black);
    lblDisclaimer->setPalette(black);
    connect(cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);
    Form_Load();
}

void frmAbout::Form_Load()
{
    setWindowTitle(QStringLiteral("About ") + AppTitle());
    lblVersion->setText(VersionText());
    lblTitle->setText(AppTitle());
    picIcon->setPixmap(QApplication::windowIcon().pixmap(32, 32));
    picIcon->resize(picIcon->pixmap().size());
}

void frmAbout::cmdOK_Click()
{
    close();
}

void frmAbout::reject()
{
    // Esc closes the box for good, as OK does. Hidden first: the dialog's own rejection would
    // close it without the closing handler, and the close box arrives here from inside closing.
    hide();
    close();
}

void frmAbout::paintEvent(QPaintEvent *event)
{
    QDialog::paintEvent(event);
    // The etched rule above the disclaimer: a dark line over a two-pixel white one.
    QPainter painter(this);
    painter.fillRect(QRect(QPoint(TwipsToPixels(105), TwipsToPixels(2460)),
                           QPoint(TwipsToPixels(5654), TwipsToPixels(2460) + 1)),
                     Qt::white);
    painter.setPen(QColor(128, 128, 128));
    painter.drawLine(TwipsToPixels(90), TwipsToPixels(2445), TwipsToPixels(5654),
                     TwipsToPixels(2445));
}
