#include "platform/dhtmledit.h"
#include "support/testmain.h"

using platform::DHTMLEdit;

namespace {

const QString emptyDocument = QStringLiteral(
    "<html><head><style type=\"text/css\"><!-- p {padding: 0px; margin: 0px;} --></style></head>"
    "<body></body></html>");
const QString emptyHead = emptyDocument.left(emptyDocument.indexOf(QLatin1String("</body>")));

} // namespace

class tst_DHTMLEdit : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void emptyDocumentReadsBackAsSet();
    void typedTextReadsBackInTheEngineDialect();
    void setDocumentReadsBack_data();
    void setDocumentReadsBack();
};

void tst_DHTMLEdit::emptyDocumentReadsBackAsSet()
{
    DHTMLEdit edit;
    edit.setDocumentHTML(QStringLiteral("<html><body><p>old</p></body></html>"));
    edit.setDocumentHTML(emptyDocument);
    QCOMPARE(edit.DocumentHTML(), emptyDocument);
}

void tst_DHTMLEdit::typedTextReadsBackInTheEngineDialect()
{
    DHTMLEdit edit;
    edit.setDocumentHTML(emptyDocument);
    edit.show();
    QVERIFY(QTest::qWaitForWindowExposed(&edit));
    edit.setFocus();

    QTest::keyClicks(&edit, "Tom & Jerry");
    QTest::keyClick(&edit, Qt::Key_Return, Qt::ShiftModifier);
    QTest::keyClicks(&edit, "a<b>c");
    QTest::keyClick(&edit, Qt::Key_Return);
    QTest::keyClicks(&edit, QStringLiteral("x\u00A0y"));

    QCOMPARE(edit.DocumentHTML(),
             emptyHead + "<p>Tom &amp; Jerry<br>a&lt;b&gt;c</p><p>x&nbsp;y</p></body></html>");
}

void tst_DHTMLEdit::setDocumentReadsBack_data()
{
    QTest::addColumn<QString>("document");
    QTest::addColumn<QString>("readBack");

    const QString head = QStringLiteral("<html><head></head><body>");
    const QString tail = QStringLiteral("</body></html>");
    QTest::newRow("paragraphs") << head + "<p>one</p><p>two</p>" + tail
                                << head + "<p>one</p><p>two</p>" + tail;
    QTest::newRow("line break") << head + "one<br>two" + tail << head + "one<br>two" + tail;
    QTest::newRow("character references") << head + "&amp; &lt; &gt; &nbsp; &quot; &#233;" + tail
                                          << head + "&amp; &lt; &gt; &nbsp; \" \u00E9" + tail;
    QTest::newRow("inline formatting")
        << head + "<b>bold</b> <i>it</i> <u>under</u> <b><i>both</i></b>" + tail
        << head + "<b>bold</b> <i>it</i> <u>under</u> <b><i>both</i></b>" + tail;
    QTest::newRow("other markup dropped")
        << head + "<span style=\"color:red\">red</span> <a href=\"x\">link</a><img src=\"y\">" +
               tail
        << head + "red link" + tail;
    QTest::newRow("other scripts kept as they are")
        << head + QString::fromUtf8("caf\u00E9 \u20AC \U0001F600") + tail
        << head + QString::fromUtf8("caf\u00E9 \u20AC \U0001F600") + tail;
    const QString result = QStringLiteral("<html><head><style type=\"text/css\"><!-- p {padding: "
                                          "0px; margin: 0px;}--></style></head><body>");
    QTest::newRow("head of the document set")
        << result + "Bonjour" + tail << result + "Bonjour" + tail;
    QTest::newRow("body attributes") << "<HTML><BODY bgcolor=\"white\">x</BODY></HTML>"
                                     << "<HTML><BODY bgcolor=\"white\">x</BODY></HTML>";
    QTest::newRow("less-than signs that open no tag")
        << head + "<< 2Translation unavailable >> 1<2 a < b<" + tail
        << head + "&lt;&lt; 2Translation unavailable &gt;&gt; 1&lt;2 a &lt; b&lt;" + tail;
    QTest::newRow("fragment") << "plain <b>x</b>"
                              << "<html><body>plain <b>x</b></body></html>";
}

void tst_DHTMLEdit::setDocumentReadsBack()
{
    QFETCH(QString, document);
    QFETCH(QString, readBack);
    DHTMLEdit edit;
    edit.setDocumentHTML(document);
    QCOMPARE(edit.DocumentHTML(), readBack);
}

LEXORN_TEST_MAIN(tst_DHTMLEdit)
#include "tst_dhtmledit.moc"
