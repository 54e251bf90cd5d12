#pragma once

#include "platform/form.h"
#include "ui_frmtranslatetext.h"

#include <QWidget>

namespace platform {
class Inet;
} // namespace platform

// The working window: the text to translate, the language pair, the translation and the banner.
// Its controls are those of its form, by their names there; cboTranslate's index selects the
// language pair and the provider alike.
class frmTranslateText : public platform::Form<QWidget, frmTranslateText>,
                         public Ui::frmTranslateText
{
    Q_OBJECT
    Q_DISABLE_COPY(frmTranslateText)

public:
    // What both HTML views hold when the window is created.
    static inline const QString EmptyDocument = QStringLiteral(
        "<html><head><style type=\"text/css\"><!-- p {padding: 0px; margin: 0px;} --></style>"
        "</head><body></body></html>");

    frmTranslateText();

    // Fits the controls to the client area.
    void Form_Resize();

    platform::Inet *netHTML;

public Q_SLOTS:
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
};
