#include "platform/identity.h"
#include "platform/settingsstore.h"
#include "platform/strings.h"
#include "startup/frmlogin.h"
#include "support/recorders.h"
#include "support/testmain.h"
#include "ui_frmlogin.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using namespace platform;

namespace {

QString stored(const char *key)
{
    return GetSetting(AppTitle(), "Login", QString::fromLatin1(key), "<none>");
}

} // namespace

class TestFrmLogin : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void designedLayout();
    void okStoresTrimmedInput_data();
    void okStoresTrimmedInput();
    void enterActsAsOk();
    void escapeEndsTheProgram();
    void signupLinkHoverAndClick();

private:
    frmLogin *dialog = nullptr;
};

void TestFrmLogin::init()
{
    SaveSetting(AppTitle(), "Login", "Username", "<none>");
    SaveSetting(AppTitle(), "Login", "Password", "<none>");
    dialog = &frmLogin::instance();
    dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog));
}

void TestFrmLogin::cleanup()
{
    frmLogin::Unload();
    QTest::qWait(0); // let the closed window go
}

void TestFrmLogin::designedLayout()
{
    auto &ui = dialog->controls();
    QCOMPARE(dialog->size(), QSize(250, 131));
    QVERIFY(!(dialog->windowFlags() & Qt::WindowCloseButtonHint));
    QCOMPARE(ui.txtPassword->echoMode(), QLineEdit::Password);
    QVERIFY(ui.cmdOK->isDefault());
    QCOMPARE(ui.lblLabels_0->buddy(), ui.txtUserName);
    QCOMPARE(ui.lblLabels_1->buddy(), ui.txtPassword);
    QCOMPARE(QApplication::focusWidget(), ui.txtUserName);
}

void TestFrmLogin::okStoresTrimmedInput_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("padded") << "  me@example.com "
                            << " pw " << true;
    QTest::newRow("tab kept") << "\tme"
                              << "pw" << true;
    QTest::newRow("spaces only user") << "   "
                                      << "pw" << false;
    QTest::newRow("empty password") << "me"
                                    << "" << false;
}

void TestFrmLogin::okStoresTrimmedInput()
{
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(bool, accepted);
    MessageBoxRecorder boxes;
    dialog->controls().txtUserName->setText(user);
    dialog->controls().txtPassword->setText(password);
    QTest::mouseClick(dialog->controls().cmdOK, Qt::LeftButton);

    QCOMPARE(dialog->isHidden(), accepted);
    if (accepted) {
        QVERIFY(boxes.shown.isEmpty());
        QCOMPARE(stored("Username"), TrimSpaces(user));
        QCOMPARE(stored("Password"), TrimSpaces(password));
    } else {
        QCOMPARE(boxes.shown.size(), 1);
        QCOMPARE(boxes.shown.first().prompt,
                 QStringLiteral("You must enter a valid username and password."));
        QCOMPARE(boxes.shown.first().title, QStringLiteral("Error"));
        QCOMPARE(boxes.shown.first().style, int(vbInformation));
        QCOMPARE(stored("Username"), QStringLiteral("<none>"));
    }
}

void TestFrmLogin::enterActsAsOk()
{
    QTest::keyClicks(dialog->controls().txtUserName, "user");
    QTest::keyClicks(dialog->controls().txtPassword, "pass");
    QTest::keyClick(dialog->controls().txtPassword, Qt::Key_Return);
    QVERIFY(dialog->isHidden());
    QCOMPARE(stored("Password"), QStringLiteral("pass"));
}

void TestFrmLogin::escapeEndsTheProgram()
{
    ProcessEndTrap trap;
    int status = -1;
    try {
        QTest::keyClick(dialog->controls().txtUserName, Qt::Key_Escape);
    } catch (const ProcessEnded &ended) {
        status = ended.status;
    }
    QCOMPARE(status, 0);
    QVERIFY(dialog->isHidden());
    QCOMPARE(stored("Username"), QStringLiteral("<none>"));
}

void TestFrmLogin::signupLinkHoverAndClick()
{
    QLabel *link = dialog->controls().lblSignup;
    const QColor normal = link->palette().color(QPalette::WindowText);
    QTest::mouseMove(link, link->rect().center());
    QCOMPARE(link->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    QVERIFY(link->font().underline());
    QCOMPARE(link->cursor().shape(), Qt::PointingHandCursor);

    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(link, &leave);
    QCOMPARE(link->palette().color(QPalette::WindowText), normal);
    QVERIFY(!link->font().underline());

    BrowserRecorder browser;
    QTest::mouseClick(link, Qt::LeftButton, {}, link->rect().center());
    QCOMPARE(browser.opened, QStringList{"http://" + ServiceHost() + "/lexorn/signup.php"});
}

LEXORN_TEST_MAIN(TestFrmLogin)
#include "tst_frmlogin.moc"
