#include "engine/enginepool.h"
#include "support/fakeapertium.h"
#include "support/testmain.h"

#include <QFile>

// The pool with a stand-in for apertium: it lists three modes, holds 2 MB, notes each start in
// "starts" and answers each NUL-ended text with the text and its mode after it, slowly for "slow".
namespace {

QString standIn(const QTemporaryDir &folder)
{
    return fakeApertium(folder, "aa-bb\\nbb-cc\\ncc-dd\\n",
                        "pad=$(printf %2000000s); while IFS= read -r -d \"\" t; do case $t in "
                        "*slow*) sleep 1;; esac; printf \"%s[ %s]\\0\" \"$t\" \"$0\"; done");
}

QStringList logged;
void keep(QtMsgType, const QMessageLogContext &, const QString &message)
{
    logged.append(message);
}

} // namespace

class TestEnginePool : public QObject
{
    Q_OBJECT

    QTemporaryDir folder;
    QStringList answers;

    QString starts()
    {
        QFile file(folder.filePath("starts"));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

    void ask(EnginePool &pool, const QString &mode, const QString &text, int seconds = 10)
    {
        pool.translate(mode, text, QHostAddress::LocalHost,
                       QDeadlineTimer(std::chrono::seconds(seconds)),
                       [this](const EngineResult &result) {
                           answers.append(result.outcome == EngineResult::Outcome::Translated
                                              ? result.text
                                              : "failed: " + result.detail);
                       });
    }

private Q_SLOTS:
    void init()
    {
        QFile::remove(folder.filePath("starts"));
        answers.clear();
        logged.clear();
        qInstallMessageHandler(keep);
    }
    void cleanup() { qInstallMessageHandler(nullptr); }

    void pool_data()
    {
        // Texts go in order, "mode:text"; each case waits for every answer. Limits: engines per
        // mode, engines, idle seconds, MiB, texts before a restart.
        columns<QStringList, QList<int>, QString, QString>({"texts", "limits", "starts", "logs"});
        using Limits = QList<int>;
        dataRow("nothing runs before it is asked for", QStringList{"aa-bb:a", "aa-bb:b"},
                Limits{2, 4, 60, 0, 0}, QString("aa-bb\n"),
                QString("engine aa-bb started (1 running)"));
        dataRow("a busy mode grows to its bound",
                QStringList{"aa-bb:slow 1", "aa-bb:slow 2", "aa-bb:slow 3", "aa-bb:slow 4"},
                Limits{2, 4, 60, 0, 0}, QString("aa-bb\naa-bb\n"),
                QString("engine aa-bb started (2 running)"));
        dataRow("nor at the cost of another mode's engine",
                QStringList{"aa-bb:a", "bb-cc:b", "aa-bb:slow 1", "aa-bb:slow 2"},
                Limits{2, 2, 60, 0, 0}, QString("aa-bb\nbb-cc\n"),
                QString("engine bb-cc started (2 running)"));
        dataRow("an idle engine ends", QStringList{"aa-bb:a"}, Limits{2, 4, 1, 0, 0},
                QString("aa-bb\n"), QString("engine aa-bb ended: idle for 1 s, after 1 texts"));
        dataRow("the one idle the longest gives way",
                QStringList{"aa-bb:a", "bb-cc:b", "bb-cc:c", "cc-dd:d"}, Limits{1, 2, 60, 0, 0},
                QString("aa-bb\nbb-cc\ncc-dd\n"),
                QString("engine aa-bb ended: gave way to cc-dd at the bound of 2 engines"));
        dataRow("and at the bound on memory", QStringList{"aa-bb:a", "bb-cc:b"},
                Limits{1, 4, 60, 1, 0}, QString("aa-bb\nbb-cc\n"),
                QString("engine aa-bb ended: gave way to bb-cc at the bound of 1 MiB"));
        dataRow("a request waits for room", QStringList{"aa-bb:slow", "bb-cc:b"},
                Limits{1, 1, 60, 0, 0}, QString("aa-bb\nbb-cc\n"),
                QString("engine aa-bb ended: gave way to bb-cc"));
        dataRow("a fresh engine takes over", QStringList{"aa-bb:a", "aa-bb:b", "aa-bb:c"},
                Limits{1, 4, 60, 0, 2}, QString("aa-bb\naa-bb\n"),
                QString("engine aa-bb ended: translated "));
    }

    void pool()
    {
        auto [texts, limits, started, logs] =
            fetch<QStringList, QList<int>, QString, QString>("texts", "limits", "starts", "logs");
        EnginePool pool(standIn(folder), {10, 8, limits[0], limits[1], qint64(limits[3]) << 20,
                                          limits[2], limits[4]});
        QStringList expected;
        for (const QString &text : texts) {
            const QString mode = text.section(':', 0, 0), words = text.section(':', 1);
            ask(pool, mode, words);
            expected.append(words + ' ' + mode);
            // Each after the one before has been answered, but for the slow ones.
            if (!words.startsWith("slow"))
                QTRY_COMPARE(answers.size(), expected.size());
        }
        QTRY_COMPARE_WITH_TIMEOUT(answers.size(), texts.size(), 10000);
        answers.sort(), expected.sort();
        QCOMPARE(answers, expected);
        QTRY_VERIFY2_WITH_TIMEOUT(logged.join('\n').contains(logs), logged.join('\n').toUtf8(),
                                  3000);
        QCOMPARE(starts(), started);
    }
};

LEXORN_TEST_MAIN(TestEnginePool)
#include "tst_enginepool.moc"
