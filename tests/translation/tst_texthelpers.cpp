// How a text goes into a provider's address. The other helpers are checked against their rules
// written out step by step, by the fuzz targets, whose seeds ctest replays.
#include "support/testmain.h"
#include "translation/modtranslate.h"

using namespace Qt::StringLiterals;

class TestTextHelpers : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void encodeForUrl_data()
    {
        columns<QString, QString>({"text", "encoded"});
        dataRow("space and minus", "a b_c-1", "a%20b_c%2D1");
        dataRow("punctuation", "Hello, World!", "Hello%2C%20World%21");
        dataRow("e acute", "é", "%C3%A9");
        dataRow("euro", "€", "%E2%82%AC");
        dataRow("CR LF", "\r\n", "%0D%0A");
        dataRow("pair as two halves", "\U0001F600", "%ED%A0%BD%ED%B8%80");
        dataRow("length boundaries", u"\0\x7F\x80\x7FF\x800\xFFFF"_s,
                "%00%7F%C2%80%DF%BF%E0%A0%80%EF%BF%BF");
        dataRow("empty", QString(), QString());
    }

    void encodeForUrl()
    {
        auto [text, encoded] = fetch<QString, QString>("text", "encoded");
        QCOMPARE(modTranslate::UrlEncode(modTranslate::Utf8Encode(text)), encoded);
    }
};

LEXORN_TEST_MAIN(TestTextHelpers)
#include "tst_texthelpers.moc"
