#include "platform/dhtmledit.h"
#include "support/testmain.h"

using platform::DHTMLEdit;

namespace {

const QString Head = QStringLiteral(
    "<html><head><style type=\"text/css\"><!-- p {padding: 0px; margin: 0px;} --></style></head>"
    "<body>");
const QString Tail = QStringLiteral("</body></html>");

} // namespace

class tst_DHTMLEdit : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void typedTextReadsBackInTheEngineDialect()
    {
        DHTMLEdit edit;
        edit.setDocumentHTML(QStringLiteral("<html><body><p>old</p></body></html>"));
        edit.setDocumentHTML(Head + Tail);
        QCOMPARE(edit.DocumentHTML(), Head + Tail);
        edit.show();
        QVERIFY(QTest::qWaitForWindowExposed(&edit));
        QTest::keyClicks(&edit, "Tom & Jerry");
        QTest::keyClick(&edit, Qt::Key_Return, Qt::ShiftModifier);
        QTest::keyClicks(&edit, "a<b>c");
        QTest::keyClick(&edit, Qt::Key_Return);
        QTest::keyClicks(&edit, QStringLiteral("x\u00A0y"));
        QCOMPARE(edit.DocumentHTML(),
                 Head + "<p>Tom &amp; Jerry<br>a&lt;b&gt;c</p><p>x&nbsp;y</p>" + Tail);
    }

    void setDocumentReadsBack_data()
    {
        // readBack: null: the document itself
        columns<QString, QString>({"document", "readBack"});
        const QString head = "<html><head></head><body>", tail = "</body></html>";
        const auto row = [&](const char *name, const QString &body, const QString &back = {}) {
            dataRow(name, head + body + tail, back.isNull() ? QString() : head + back + tail);
        };
        row("paragraphs", "<p>one</p><p>two</p>");
        row("line break", "one<br>two");
        row("references", "&amp; &lt; &gt; &nbsp; &quot; &#233;", "&amp; &lt; &gt; &nbsp; \" é");
        row("inline formatting", "<b>bold</b> <i>it</i> <u>under</u> <b><i>both</i></b>");
        row("other markup dropped",
            "<span style=\"color:red\">red</span> <a href=\"x\">link</a><img src=\"y\">",
            "red link");
        row("other scripts kept", "café € \U0001F600");
        row("less-than signs that open no tag", "<< 2Translation unavailable >> 1<2 a < b<",
            "&lt;&lt; 2Translation unavailable &gt;&gt; 1&lt;2 a &lt; b&lt;");
        dataRow("head of the document set", Head + "Bonjour" + Tail, QString());
        dataRow("body attributes", QString("<HTML><BODY bgcolor=\"white\">x</BODY></HTML>"),
                QString());
        dataRow("fragment", QString("plain <b>x</b>"),
                QString("<html><body>plain <b>x</b></body></html>"));
    }

    void setDocumentReadsBack()
    {
        auto [document, readBack] = fetch<QString, QString>("document", "readBack");
        DHTMLEdit edit;
        edit.setDocumentHTML(document);
        QCOMPARE(edit.DocumentHTML(), readBack.isNull() ? document : readBack);
    }
};

LEXORN_TEST_MAIN(tst_DHTMLEdit)
#include "tst_dhtmledit.moc"
