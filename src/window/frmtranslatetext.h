#pragma once

#include "platform/form.h"

#include <QWidget>

#include <memory>

class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;

namespace platform {
class DHTMLEdit;
class Inet;
class WebBrowser;
} // namespace platform

namespace Ui {
class frmTranslateText;
}

// The working window: the text to translate, the language pair, the translation and the banner.
class frmTranslateText : public platform::Form<QWidget, frmTranslateText>
{
    Q_OBJECT
    Q_DISABLE_COPY(frmTranslateText)

public:
    // What both HTML views hold when the window is created.
    static inline const QString EmptyDocument = QStringLiteral(
        "<html><head><style type=\"text/css\"><!-- p {padding: 0px; margin: 0px;} --></style>"
        "</head><body></body></html>");

    frmTranslateText();
    ~frmTranslateText() override;

    // Fits the controls to the client area.
    void Form_Resize();

    QGroupBox *fraFrom;
    QLabel *Label1;
    platform::DHTMLEdit *dhtFrom;
    QLabel *lblTranslate;
    QComboBox *cboTranslate; // its index selects the language pair and the provider alike
    QPushButton *cmdFindTran;
    QPushButton *cmdTranslate;
    QGroupBox *fraTo;
    platform::DHTMLEdit *dhtTo;
    QPushButton *cmdCopy;
    QPushButton *cmdClose;
    platform::WebBrowser *webBanner;
    platform::Inet *netHTML;

public Q_SLOTS:
    // Defined with the translation engine, in translation/translatecommand.cpp.
    void cmdTranslate_Click();
    void cmdFindTran_Click();
    void cmdCopy_Click();
    void cmdClose_Click();
    void webBanner_NavigateError(QObject *pDisp, const QString &URL, const QString &Frame,
                                 int StatusCode, bool &Cancel);

protected:
    bool event(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void Form_Unload() override;

private:
    void placeFromSettings();
    void buildLanguagePairs();

    std::unique_ptr<Ui::frmTranslateText> ui;
};
