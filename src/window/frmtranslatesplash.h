#pragma once

#include "platform/form.h"
#include "session/sessionsettings.h"
#include "ui_frmtranslatesplash.h"

#include <QDialog>

class frmTranslateText;

// The "Translating..." window: shown modally, it runs one translation, puts the result into the
// translation window and hides itself, which ends the modal show. It stays loaded between uses.
class frmTranslateSplash : public platform::Form<QDialog, frmTranslateSplash>,
                           public Ui::frmTranslateSplash
{
    Q_OBJECT
    Q_DISABLE_COPY(frmTranslateSplash)

public:
    // The document the result is shown in; unlike the empty document there is no space before -->.
    static inline const QString ResultTemplate = QStringLiteral(
        "<html><head><style type=\"text/css\"><!-- p {padding: 0px; margin: 0px;}--></style>"
        "</head><body>%text%</body></html>");

    frmTranslateSplash();

    // The text to translate; the translation may shorten it to the session's limit.
    QString SourceText;

    // Shows the window modally over the translation window while the provider translates
    // SourceText; returns once the result is in the window's result view.
    void Translate(frmTranslateText &window, const Provider &provider);

public Q_SLOTS:
    void webTranslating_NavigateError(QObject *pDisp, const QString &URL, const QString &Frame,
                                      int StatusCode, bool &Cancel);
    // The window hides itself when its translation is done; nothing else ends the modal show.
    void reject() override;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void Form_Activate();
    void waitUntilOnScreen();

    frmTranslateText *owner = nullptr;
    Provider provider;
    bool activationDue = false;
    bool translating = false;
};
