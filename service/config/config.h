#pragma once

#include <QHostAddress>
#include <QList>
#include <QString>
#include <QStringList>

struct LanguageEntry
{
    int index = 0;
    QString code;
    QString name; // ISO-8859-1 only: the client reads the settings answer one character per byte
};

// One direction of an Apertium language pair, by our language codes.
struct ApertiumPair
{
    QString source;
    QString target;
    QString mode; // e.g. eng-spa
};

// A translation web site that is not this service.
struct ExternalProvider
{
    QString name;
    QString source;
    QString target;
    QString urlTemplate;
    QString resultStart;
    QString resultEnd;
};

struct Translator
{
    QString source;
    QString target;
    QString name;
    QString contact; // e-mail address or web address, may be empty
};

struct ServiceConfig
{
    QString path;
    QHostAddress listenAddress{QHostAddress::LocalHost};
    quint16 port = 8642;
    QString baseUrl;  // empty: derived from the listen address once listening
    QString database; // postgresql://... or an SQLite file (absolute once loaded)
    int maxConnections = 512;
    int maxConnectionsPerClient = 16;
    int headTimeoutSeconds = 10;
    int bodyTimeoutSeconds = 60;
    QList<QHostAddress> trustedProxies; // whose X-Forwarded-For names the client

    qint32 defaultLevel = 0;
    qint16 defaultCap = 500;
    int passwordIterations = 100000;
    int failuresBeforeDelay = 10; // sign-ins per client and per account, sign-ups per client
    int maxDelaySeconds = 300;
    int passwordQueue = 8;
    int passwordQueuePerClient = 2;
    int reportsPerClient = 20;
    int reportQueue = 1000; // reports kept in memory while the database cannot take them
    QString demoEmail;
    QString demoPassword;

    QList<LanguageEntry> languages; // ascending index

    QString apertiumProgram = QStringLiteral("apertium");
    int apertiumTimeoutSeconds = 20;
    int maxText = -1;          // characters per translation, 0: any; below 0: the largest cap
    int queuePerClient = 8;    // of a pair's waiting requests
    int maxEnginesPerPair = 0; // 0: one per core
    int maxEngines = 16;
    int maxEngineMemoryMiB = 0; // 0: no bound
    int idleSeconds = 300;      // 0: never
    int restartAfter = 0;       // 0: never
    QStringList warmModes;      // engines started with the service
    QStringList pivots;         // language codes, the preferred first
    QString resultStart = QStringLiteral("<div id=\"result\">");
    QString resultEnd = QStringLiteral("</div>");
    QList<ApertiumPair> apertiumPairs;
    bool installedPairs = false; // also offer every installed mode (addInstalledPairs)
    QList<ExternalProvider> externalProviders;
    QList<Translator> translators;

    // Absolute addresses, or paths on this service (resolved against the base address).
    QString translatingLink = QStringLiteral("/lexorn/translating.php");
    QString bannerLink = QStringLiteral("/lexorn/banner.php");
    QString welcomeLink = QStringLiteral("/lexorn/welcome.php");
    QString findTranLink = QStringLiteral(
        "/lexorn/findtran.php?userid=%userid%&src_lang=%src_lang%&trg_lang=%trg_lang%");

    bool isPostgres() const;
    const LanguageEntry *language(const QString &code) const;
    // The name a page shows; a code not listed stands for itself.
    QString languageName(const QString &code) const;
    // The base address for a service that listens on port; never ends with '/'.
    QString publicBase(quint16 actualPort) const;
    static QString resolve(const QString &base, const QString &link);
};

bool loadConfig(const QString &path, ServiceConfig &config, QString &error);

// Letters, digits, '-' or '_', at most 16: what a language's code may be.
bool isLanguageCode(const QString &code);

// What the settings answer can carry: the client reads it one character per byte.
bool isLatin1(const QString &text);

// Whether a marker can never occur in HTML-escaped text with <br> line breaks.
bool isSafeResultMarker(const QString &marker);
