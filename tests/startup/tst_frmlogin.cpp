#include "platform/identity.h"
#include "platform/settingsstore.h"
#include "startup/frmlogin.h"
#include "support/recorders.h"
#include "support/testmain.h"
#include "ui_frmlogin.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using namespace platform;

class TestFrmLogin : public QObject
{
    Q_OBJECT

    frmLogin *dialog = nullptr;
    Ui::frmLogin &ui() { return dialog->controls(); }
    static QString stored()
    {
        return GetSetting(AppTitle(), "Login", "Username", "<none>") + '|' +
               GetSetting(AppTitle(), "Login", "Password", "<none>");
    }

private Q_SLOTS:
    void init()
    {
        SaveSetting(AppTitle(), "Login", "Username", "<none>");
        SaveSetting(AppTitle(), "Login", "Password", "<none>");
        dialog = &frmLogin::instance();
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog));
    }

    void cleanup()
    {
        frmLogin::Unload();
        QTest::qWait(0); // let the closed window go
    }

    // The desktop tier signs in by the keyboard: focus, access keys and the default button.
    void designedLayout()
    {
        QCOMPARE(dialog->size(), QSize(250, 131));
        QVERIFY(!(dialog->windowFlags() & Qt::WindowCloseButtonHint));
        QCOMPARE(ui().txtPassword->echoMode(), QLineEdit::Password);
    }

    void okStoresTrimmedInput_data()
    {
        // stored: empty: refused
        columns<QString, QString, QString>({"user", "password", "stored"});
        dataRow("padded", "  me@example.com ", " pw ", QString("me@example.com|pw"));
        dataRow("tab kept", "\tme", "pw", QString("\tme|pw"));
        dataRow("spaces only user", "   ", "pw", QString());
        dataRow("empty password", "me", "", QString());
    }

    void okStoresTrimmedInput()
    {
        auto [user, password, stored] =
            fetch<QString, QString, QString>("user", "password", "stored");
        MessageBoxRecorder boxes;
        ui().txtUserName->setText(user);
        ui().txtPassword->setText(password);
        QTest::mouseClick(ui().cmdOK, Qt::LeftButton);
        QCOMPARE(dialog->isHidden(), !stored.isEmpty());
        QCOMPARE(TestFrmLogin::stored(), stored.isEmpty() ? "<none>|<none>" : stored);
        QCOMPARE(boxes.seen(),
                 stored.isEmpty()
                     ? QStringList{"Error 64 You must enter a valid username and password."}
                     : QStringList());
    }

    void escapeEndsTheProgram()
    {
        QCOMPARE(endingOf([this] { QTest::keyClick(ui().txtUserName, Qt::Key_Escape); }), 0);
        QVERIFY(dialog->isHidden());
        QCOMPARE(stored(), "<none>|<none>");
    }

    void signupLinkHoverAndClick()
    {
        QLabel *link = ui().lblSignup;
        const QColor normal = link->palette().color(QPalette::WindowText);
        QTest::mouseMove(link, link->rect().center());
        QVERIFY(link->palette().color(QPalette::WindowText) == QColor(0, 0, 255) &&
                link->font().underline() && link->cursor().shape() == Qt::PointingHandCursor);
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(link, &leave);
        QVERIFY(link->palette().color(QPalette::WindowText) == normal && !link->font().underline());
        BrowserRecorder browser;
        QTest::mouseClick(link, Qt::LeftButton, {}, link->rect().center());
        QCOMPARE(browser.opened, QStringList{"http://" + ServiceHost() + "/lexorn/signup.php"});
    }
};

LEXORN_TEST_MAIN(TestFrmLogin)
#include "tst_frmlogin.moc"
