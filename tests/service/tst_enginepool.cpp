#include "engine/enginepool.h"
#include "support/fakeapertium.h"
#include "support/testmain.h"

#include <QDir>
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

class tst_EnginePool : public QObject
{
    Q_OBJECT

    QTemporaryDir folder;
    QStringList answers;

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
        const auto row = [](const char *name, const QStringList &texts, const QList<int> &limits,
                            const char *starts, const char *logs) {
            QTest::newRow(name) << texts << limits << QString(starts) << QString(logs);
        };
        row("nothing runs before it is asked for", {"aa-bb:a", "aa-bb:b"}, {2, 4, 60, 0, 0},
            "aa-bb\n", "engine aa-bb started (1 running)");
        row("a busy mode grows to its bound",
            {"aa-bb:slow 1", "aa-bb:slow 2", "aa-bb:slow 3", "aa-bb:slow 4"}, {2, 4, 60, 0, 0},
            "aa-bb\naa-bb\n", "engine aa-bb started (2 running)");
        row("nor at the cost of another mode's engine",
            {"aa-bb:a", "bb-cc:b", "aa-bb:slow 1", "aa-bb:slow 2"}, {2, 2, 60, 0, 0},
            "aa-bb\nbb-cc\n", "engine bb-cc started (2 running)");
        row("an idle engine ends", {"aa-bb:a"}, {2, 4, 1, 0, 0}, "aa-bb\n",
            "engine aa-bb ended: idle for 1 s, after 1 texts");
        row("the one idle the longest gives way", {"aa-bb:a", "bb-cc:b", "bb-cc:c", "cc-dd:d"},
            {1, 2, 60, 0, 0}, "aa-bb\nbb-cc\ncc-dd\n",
            "engine aa-bb ended: gave way to cc-dd at the bound of 2 engines");
        row("and at the bound on memory", {"aa-bb:a", "bb-cc:b"}, {1, 4, 60, 1, 0},
            "aa-bb\nbb-cc\n", "engine aa-bb ended: gave way to bb-cc at the bound of 1 MiB");
        row("a request waits for room", {"aa-bb:slow", "bb-cc:b"}, {1, 1, 60, 0, 0},
            "aa-bb\nbb-cc\n", "engine aa-bb ended: gave way to bb-cc");
        row("a fresh engine takes over", {"aa-bb:a", "aa-bb:b", "aa-bb:c"}, {1, 4, 60, 0, 2},
            "aa-bb\naa-bb\n", "engine aa-bb ended: translated ");
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
            pool.translate(mode, words, QHostAddress::LocalHost,
                           QDeadlineTimer(std::chrono::seconds(10)),
                           [this](const EngineResult &result) {
                               answers.append(result.outcome == EngineResult::Outcome::Translated
                                                  ? result.text
                                                  : "failed: " + result.detail);
                           });
            expected.append(words + ' ' + mode);
            // Each after the one before has been answered, but for the slow ones.
            if (!words.startsWith("slow"))
                QTRY_COMPARE(answers.size(), expected.size());
        }
        QTRY_COMPARE_WITH_TIMEOUT(answers.size(), texts.size(), 10000);
        answers.sort();
        expected.sort();
        QCOMPARE(answers, expected);
        QTRY_VERIFY2_WITH_TIMEOUT(logged.join('\n').contains(logs), logged.join('\n').toUtf8(),
                                  3000);
        QFile starts(folder.filePath("starts"));
        QVERIFY(starts.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(starts.readAll()), started);
    }

    void modeFiles_data()
    {
        // %1: the data folder, which holds "present" and "with space"
        columns<QString, QString>({"pipeline", "missing"});
        dataRow("quoted, with a space", QString("cat \"%1/with space\" $1 -z"), QString());
        dataRow("a file missing", QString("cat '%1/present' | cat '%1/absent'"),
                QString("%1/absent"));
        dataRow("a program missing", QString("cat | lexorn-no-such-stage '%1/present'"),
                QString("lexorn-no-such-stage"));
    }

    // A mode is offered only when every program and file its pipeline names is there.
    void modeFiles()
    {
        const auto [pipeline, missing] = fetch<QString, QString>("pipeline", "missing");
        QTemporaryDir data;
        QVERIFY(QDir(data.path()).mkpath("modes"));
        for (const QString name : {"present", "with space", "modes/aa-bb.mode"}) {
            QFile file(data.filePath(name));
            QVERIFY(file.open(QIODevice::WriteOnly) &&
                    file.write(pipeline.arg(data.path()).toUtf8()));
        }
        qputenv("APERTIUM_DATADIR", data.path().toUtf8());
        const QStringList offered = EnginePool("apertium", {}).installedModes();
        qunsetenv("APERTIUM_DATADIR");
        QCOMPARE(offered, missing.isEmpty() ? QStringList{"aa-bb"} : QStringList());
        QVERIFY(missing.isEmpty() || logged.contains("Apertium mode aa-bb is not offered: " +
                                                     missing.arg(data.path()) + " is not there"));
    }
};

LEXORN_TEST_MAIN(tst_EnginePool)
#include "tst_enginepool.moc"
