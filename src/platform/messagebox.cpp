#include "platform/messagebox.h"

#include "platform/identity.h"

#include <QMessageBox>

namespace platform {
namespace {

MessageBoxPresenter &presenter()
{
    static MessageBoxPresenter current;
    return current;
}

int presentWithQt(const MessageBoxRequest &request)
{
    QMessageBox box;
    box.setWindowTitle(request.title);
    // A service's message is shown as it was sent, tags and all.
    box.setTextFormat(Qt::PlainText);
    box.setText(request.prompt);
    switch (request.style & 0x70) {
    case vbCritical:
        box.setIcon(QMessageBox::Critical);
        break;
    case vbQuestion:
        box.setIcon(QMessageBox::Question);
        break;
    case vbExclamation:
        box.setIcon(QMessageBox::Warning);
        break;
    case vbInformation:
        box.setIcon(QMessageBox::Information);
        break;
    default:
        break;
    }
    if ((request.style & 0x0F) == vbYesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        return box.exec() == QMessageBox::Yes ? vbYes : vbNo;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    return vbOK;
}

} // namespace

int MsgBox(const QString &prompt, int style, const QString &title)
{
    const MessageBoxRequest request{prompt, style, title.isEmpty() ? AppTitle() : title};
    return presenter() ? presenter()(request) : presentWithQt(request);
}

void setMessageBoxPresenter(MessageBoxPresenter replacement)
{
    presenter() = std::move(replacement);
}

} // namespace platform
