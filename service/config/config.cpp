#include "config/config.h"

#include "config/inifile.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>

#include <algorithm>
#include <limits>
#include <span>

namespace {

bool hasLineBreakOrTab(const QString &text)
{
    return text.contains(QLatin1Char('\t')) || text.contains(QLatin1Char('\n')) ||
           text.contains(QLatin1Char('\r'));
}

bool isModeName(const QString &mode)
{
    static const QRegularExpression pattern(QStringLiteral("^[A-Za-z0-9_-]+$"));
    return pattern.match(mode).hasMatch();
}

// A whole-number setting: its key, its bounds and its field.
struct Whole
{
    const char *key;
    int low, high;
    int ServiceConfig::*field;
};

constexpr Whole ServiceWholes[] = {
    {"max_connections", 1, 1000000, &ServiceConfig::maxConnections},
    {"max_connections_per_client", 1, 1000000, &ServiceConfig::maxConnectionsPerClient},
    {"head_timeout", 1, 600, &ServiceConfig::headTimeoutSeconds},
    {"body_timeout", 1, 3600, &ServiceConfig::bodyTimeoutSeconds}};
constexpr Whole AccountsWholes[] = {
    {"password_iterations", 1000, 10000000, &ServiceConfig::passwordIterations},
    {"failures_before_delay", 1, 1000000, &ServiceConfig::failuresBeforeDelay},
    {"max_delay", 1, 86400, &ServiceConfig::maxDelaySeconds},
    {"password_queue", 1, 10000, &ServiceConfig::passwordQueue},
    {"password_queue_per_client", 1, 10000, &ServiceConfig::passwordQueuePerClient},
    {"reports_per_client", 1, 1000000, &ServiceConfig::reportsPerClient},
    {"report_queue", 0, 1000000, &ServiceConfig::reportQueue}};
constexpr Whole ApertiumWholes[] = {
    {"timeout", 1, 600, &ServiceConfig::apertiumTimeoutSeconds},
    {"max_text", 0, 1000000, &ServiceConfig::maxText},
    {"queue_per_client", 1, 256, &ServiceConfig::queuePerClient},
    {"max_engines_per_pair", 0, 256, &ServiceConfig::maxEnginesPerPair},
    {"max_engines", 1, 1024, &ServiceConfig::maxEngines},
    {"max_engine_memory", 0, 1 << 20, &ServiceConfig::maxEngineMemoryMiB},
    {"idle_seconds", 0, 86400, &ServiceConfig::idleSeconds},
    {"restart_after", 0, 1000000000, &ServiceConfig::restartAfter}};

class Reader
{
public:
    Reader(const IniSection &section, QString &error) : m_section(section), m_error(error) {}

    bool fail(const IniEntry &entry, const QString &message)
    {
        m_error = QStringLiteral("line %1 ([%2] %3): %4")
                      .arg(entry.line)
                      .arg(m_section.name, entry.key, message);
        return false;
    }

    bool integer(const IniEntry &entry, qint64 low, qint64 high, qint64 &out)
    {
        bool ok = false;
        const qint64 value = entry.value.toLongLong(&ok);
        if (!ok || value < low || value > high)
            return fail(entry,
                        QStringLiteral("expected a whole number from %1 to %2").arg(low).arg(high));
        out = value;
        return true;
    }

    bool unknown(const IniEntry &entry) { return fail(entry, QStringLiteral("unknown key")); }

    // Sets the field the entry names among `wholes`. False when its value is out of bounds, or
    // when it names none of them: `unknown` then says so.
    bool whole(const IniEntry &entry, std::span<const Whole> wholes, ServiceConfig &config,
               const QString &unknown = QStringLiteral("unknown key"))
    {
        for (const Whole &whole : wholes) {
            qint64 number = 0;
            if (entry.key != QLatin1String(whole.key))
                continue;
            if (!integer(entry, whole.low, whole.high, number))
                return false;
            config.*whole.field = int(number);
            return true;
        }
        return fail(entry, unknown);
    }

private:
    const IniSection &m_section;
    QString &m_error;
};

// "en -> es" as a pair of codes.
bool splitPair(const QString &key, QString &source, QString &target)
{
    const QStringList parts = key.split(QStringLiteral("->"));
    if (parts.size() != 2)
        return false;
    source = parts.at(0).trimmed();
    target = parts.at(1).trimmed();
    return isLanguageCode(source) && isLanguageCode(target);
}

bool readService(const IniSection &section, ServiceConfig &config, QString &error)
{
    Reader reader(section, error);
    for (const IniEntry &entry : section.entries) {
        qint64 number = 0;
        if (entry.key == QLatin1String("listen")) {
            const QString host = entry.value == QLatin1String("localhost")
                                     ? QStringLiteral("127.0.0.1")
                                     : entry.value;
            if (!config.listenAddress.setAddress(host))
                return reader.fail(entry, QStringLiteral("expected an IP address"));
        } else if (entry.key == QLatin1String("port")) {
            if (!reader.integer(entry, 0, 65535, number))
                return false;
            config.port = quint16(number);
        } else if (entry.key == QLatin1String("base_url")) {
            const QUrl url(entry.value);
            if (!entry.value.isEmpty() &&
                (!url.isValid() || url.host().isEmpty() ||
                 (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https"))))
                return reader.fail(entry,
                                   QStringLiteral("expected an http:// or https:// address"));
            config.baseUrl = entry.value;
            while (config.baseUrl.endsWith(QLatin1Char('/')))
                config.baseUrl.chop(1);
        } else if (entry.key == QLatin1String("database")) {
            if (entry.value.isEmpty())
                return reader.fail(entry, QStringLiteral("must not be empty"));
            config.database = entry.value;
        } else if (entry.key == QLatin1String("trusted_proxies")) {
            config.trustedProxies.clear();
            const QStringList addresses = entry.value.split(QLatin1Char(','), Qt::SkipEmptyParts);
            for (const QString &address : addresses) {
                QHostAddress proxy;
                if (!proxy.setAddress(address.trimmed()))
                    return reader.fail(entry,
                                       QStringLiteral("expected IP addresses, comma-separated"));
                config.trustedProxies.append(proxy);
            }
        } else if (!reader.whole(entry, ServiceWholes, config)) {
            return false;
        }
    }
    return true;
}

bool readAccounts(const IniSection &section, ServiceConfig &config, QString &error)
{
    Reader reader(section, error);
    for (const IniEntry &entry : section.entries) {
        qint64 number = 0;
        if (entry.key == QLatin1String("level")) {
            if (!reader.integer(entry, std::numeric_limits<qint32>::min(),
                                std::numeric_limits<qint32>::max(), number))
                return false;
            config.defaultLevel = qint32(number);
        } else if (entry.key == QLatin1String("cap")) {
            if (!reader.integer(entry, std::numeric_limits<qint16>::min(),
                                std::numeric_limits<qint16>::max(), number))
                return false;
            config.defaultCap = qint16(number);
        } else if (entry.key == QLatin1String("demo_email")) {
            config.demoEmail = entry.value;
        } else if (entry.key == QLatin1String("demo_password")) {
            config.demoPassword = entry.value;
        } else if (!reader.whole(entry, AccountsWholes, config)) {
            return false;
        }
    }
    return true;
}

bool readLanguages(const IniSection &section, ServiceConfig &config, QString &error)
{
    Reader reader(section, error);
    for (const IniEntry &entry : section.entries) {
        bool ok = false;
        const int index = entry.key.toInt(&ok);
        if (!ok || index < 0 || index > 32767)
            return reader.fail(entry,
                               QStringLiteral("the key is the language's index, 0 to 32767"));
        const qsizetype comma = entry.value.indexOf(QLatin1Char(','));
        const QString code = entry.value.left(comma).trimmed();
        const QString name = comma < 0 ? QString() : entry.value.mid(comma + 1).trimmed();
        if (!isLanguageCode(code))
            return reader.fail(entry, QStringLiteral("expected: code, display name (code: letters, "
                                                     "digits, '-' or '_', at most 16)"));
        if (name.isEmpty() || hasLineBreakOrTab(name))
            return reader.fail(entry, QStringLiteral("the display name is missing"));
        if (!isLatin1(name))
            return reader.fail(entry,
                               QStringLiteral("the display name must be ISO-8859-1 (Latin-1)"));
        for (const LanguageEntry &other : std::as_const(config.languages)) {
            if (other.index == index || other.code == code)
                return reader.fail(entry, QStringLiteral("index or code listed twice"));
        }
        config.languages.append({index, code, name});
    }
    return true;
}

bool readMarker(Reader &reader, const IniEntry &entry, QString &out)
{
    if (entry.value.isEmpty() || hasLineBreakOrTab(entry.value))
        return reader.fail(entry, QStringLiteral("a marker is one non-empty line"));
    out = entry.value;
    return true;
}

bool readApertium(const IniSection &section, ServiceConfig &config, QString &error)
{
    Reader reader(section, error);
    for (const IniEntry &entry : section.entries) {
        QString source, target;
        if (entry.key == QLatin1String("program")) {
            if (entry.value.isEmpty())
                return reader.fail(entry, QStringLiteral("must not be empty"));
            config.apertiumProgram = entry.value;
        } else if (entry.key == QLatin1String("result_start")) {
            if (!readMarker(reader, entry, config.resultStart))
                return false;
            if (!isSafeResultMarker(config.resultStart))
                return reader.fail(entry,
                                   QStringLiteral("needs a '<' followed by a character "
                                                  "other than 'b', e.g. <div id=\"result\">"));
        } else if (entry.key == QLatin1String("result_end")) {
            if (!readMarker(reader, entry, config.resultEnd))
                return false;
            if (!isSafeResultMarker(config.resultEnd))
                return reader.fail(entry, QStringLiteral("needs a '<' followed by a character "
                                                         "other than 'b', e.g. </div>"));
        } else if (entry.key == QLatin1String("warm") || entry.key == QLatin1String("pivot")) {
            const bool warm = entry.key == QLatin1String("warm");
            QStringList &list = warm ? config.warmModes : config.pivots;
            list.clear();
            const QStringList items = entry.value.split(QLatin1Char(','), Qt::SkipEmptyParts);
            for (const QString &item : items) {
                if (!(warm ? isModeName(item.trimmed()) : isLanguageCode(item.trimmed())))
                    return reader.fail(entry, warm ? QStringLiteral("expected Apertium modes, "
                                                                    "e.g. eng-spa, spa-eng")
                                                   : QStringLiteral("expected language codes, "
                                                                    "e.g. es, ca, en"));
                list.append(item.trimmed());
            }
        } else if (entry.key == QLatin1String("pairs")) {
            if (entry.value != QLatin1String("installed") && entry.value != QLatin1String("listed"))
                return reader.fail(entry, QStringLiteral("expected installed or listed"));
            config.installedPairs = entry.value == QLatin1String("installed");
        } else if (splitPair(entry.key, source, target)) {
            if (!isModeName(entry.value))
                return reader.fail(entry,
                                   QStringLiteral("expected an Apertium mode, e.g. eng-spa"));
            config.apertiumPairs.append({source, target, entry.value});
        } else if (!reader.whole(entry, ApertiumWholes, config,
                                 QStringLiteral("unknown key (a pair is written: en -> es = "
                                                "eng-spa)"))) {
            return false;
        }
    }
    return true;
}

bool readLinks(const IniSection &section, ServiceConfig &config, QString &error)
{
    Reader reader(section, error);
    for (const IniEntry &entry : section.entries) {
        QString *link = nullptr;
        if (entry.key == QLatin1String("translating"))
            link = &config.translatingLink;
        else if (entry.key == QLatin1String("banner"))
            link = &config.bannerLink;
        else if (entry.key == QLatin1String("welcome"))
            link = &config.welcomeLink;
        else if (entry.key == QLatin1String("findtran"))
            link = &config.findTranLink;
        else
            return reader.unknown(entry);
        const bool absolute = entry.value.startsWith(QLatin1String("http://")) ||
                              entry.value.startsWith(QLatin1String("https://"));
        if (!entry.value.isEmpty() && !absolute && !entry.value.startsWith(QLatin1Char('/')))
            return reader.fail(entry, QStringLiteral("expected an http(s):// address or a path "
                                                     "beginning with /"));
        if (hasLineBreakOrTab(entry.value) || entry.value.contains(QLatin1Char(' ')))
            return reader.fail(entry, QStringLiteral("an address has no spaces"));
        *link = entry.value;
    }
    return true;
}

bool readProvider(const IniSection &section, ServiceConfig &config, QString &error)
{
    Reader reader(section, error);
    ExternalProvider provider;
    provider.name = section.name.mid(QStringLiteral("provider ").size()).trimmed();
    for (const IniEntry &entry : section.entries) {
        if (entry.key == QLatin1String("source") || entry.key == QLatin1String("target")) {
            if (!isLanguageCode(entry.value))
                return reader.fail(entry, QStringLiteral("expected a language code"));
            (entry.key == QLatin1String("source") ? provider.source : provider.target) =
                entry.value;
        } else if (entry.key == QLatin1String("template")) {
            if (entry.value.isEmpty() || hasLineBreakOrTab(entry.value) ||
                entry.value.contains(QLatin1Char(' ')))
                return reader.fail(entry, QStringLiteral("expected an address without spaces"));
            provider.urlTemplate = entry.value;
        } else if (entry.key == QLatin1String("result_start")) {
            if (!readMarker(reader, entry, provider.resultStart))
                return false;
        } else if (entry.key == QLatin1String("result_end")) {
            if (!readMarker(reader, entry, provider.resultEnd))
                return false;
        } else {
            return reader.unknown(entry);
        }
    }
    if (provider.source.isEmpty() || provider.target.isEmpty() || provider.urlTemplate.isEmpty() ||
        provider.resultStart.isEmpty() || provider.resultEnd.isEmpty()) {
        error = QStringLiteral("line %1 ([%2]): source, target, template, result_start and "
                               "result_end are all needed")
                    .arg(section.line)
                    .arg(section.name);
        return false;
    }
    config.externalProviders.append(provider);
    return true;
}

bool readTranslators(const IniSection &section, ServiceConfig &config, QString &error)
{
    Reader reader(section, error);
    for (const IniEntry &entry : section.entries) {
        Translator translator;
        if (!splitPair(entry.key, translator.source, translator.target))
            return reader.fail(entry, QStringLiteral("the key is a pair of codes, e.g. en -> es"));
        const qsizetype comma = entry.value.indexOf(QLatin1Char(','));
        translator.name = entry.value.left(comma).trimmed();
        translator.contact = comma < 0 ? QString() : entry.value.mid(comma + 1).trimmed();
        if (translator.name.isEmpty())
            return reader.fail(entry, QStringLiteral("expected: name, contact"));
        config.translators.append(translator);
    }
    return true;
}

// The client appends an empty language slot per line before filling the one the line names, so
// the k-th line (in ascending order) may name an index of at most k.
bool checkLanguages(const ServiceConfig &config, QString &error)
{
    for (int i = 0; i < config.languages.size(); ++i) {
        const LanguageEntry &language = config.languages.at(i);
        if (language.index > i + 1) {
            error = QStringLiteral("[languages]: index %1 (%2) leaves too large a gap; with %3 "
                                   "languages up to it the largest usable index is %3")
                        .arg(language.index)
                        .arg(language.code)
                        .arg(i + 1);
            return false;
        }
    }
    return true;
}

bool checkCodes(const ServiceConfig &config, const QString &where, const QString &source,
                const QString &target, QString &error)
{
    for (const QString &code : {source, target}) {
        if (!config.language(code)) {
            error = QStringLiteral("%1: language %2 is not listed in [languages]").arg(where, code);
            return false;
        }
    }
    return true;
}

} // namespace

bool isLanguageCode(const QString &code)
{
    static const QRegularExpression pattern(QStringLiteral("^[A-Za-z0-9_-]{1,16}$"));
    return pattern.match(code).hasMatch();
}

bool isLatin1(const QString &text)
{
    return std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() <= 0xFF; });
}

bool isSafeResultMarker(const QString &marker)
{
    // Escaped text holds no '<' at all, and the line breaks put in are "<br>".
    for (qsizetype i = 0; i + 1 < marker.size(); ++i) {
        if (marker.at(i) == QLatin1Char('<') && marker.at(i + 1) != QLatin1Char('b'))
            return true;
    }
    return false;
}

bool ServiceConfig::isPostgres() const
{
    return database.startsWith(QLatin1String("postgresql://")) ||
           database.startsWith(QLatin1String("postgres://"));
}

const LanguageEntry *ServiceConfig::language(const QString &code) const
{
    for (const LanguageEntry &entry : languages) {
        if (entry.code == code)
            return &entry;
    }
    return nullptr;
}

QString ServiceConfig::languageName(const QString &code) const
{
    const LanguageEntry *entry = language(code);
    return entry ? entry->name : code;
}

QString ServiceConfig::publicBase(quint16 actualPort) const
{
    if (!baseUrl.isEmpty())
        return baseUrl;
    QHostAddress host = listenAddress;
    if (host == QHostAddress::AnyIPv4 || host == QHostAddress::Any)
        host = QHostAddress::LocalHost;
    else if (host == QHostAddress::AnyIPv6)
        host = QHostAddress::LocalHostIPv6;
    const QString name = host.protocol() == QAbstractSocket::IPv6Protocol
                             ? QStringLiteral("[%1]").arg(host.toString())
                             : host.toString();
    return QStringLiteral("http://%1:%2").arg(name).arg(actualPort);
}

QString ServiceConfig::resolve(const QString &base, const QString &link)
{
    if (link.isEmpty() || !link.startsWith(QLatin1Char('/')))
        return link;
    return base + link;
}

bool loadConfig(const QString &path, ServiceConfig &config, QString &error)
{
    IniFile ini;
    if (!ini.load(path, error))
        return false;
    config = ServiceConfig();
    config.path = QFileInfo(path).absoluteFilePath();
    config.database = QStringLiteral("lexorn.sqlite");

    for (const IniSection &section : std::as_const(ini.sections)) {
        bool ok = true;
        if (section.name == QLatin1String("service"))
            ok = readService(section, config, error);
        else if (section.name == QLatin1String("accounts"))
            ok = readAccounts(section, config, error);
        else if (section.name == QLatin1String("languages"))
            ok = readLanguages(section, config, error);
        else if (section.name == QLatin1String("apertium"))
            ok = readApertium(section, config, error);
        else if (section.name == QLatin1String("links"))
            ok = readLinks(section, config, error);
        else if (section.name.startsWith(QLatin1String("provider ")))
            ok = readProvider(section, config, error);
        else if (section.name == QLatin1String("translators"))
            ok = readTranslators(section, config, error);
        else {
            error =
                QStringLiteral("line %1: unknown section [%2]").arg(section.line).arg(section.name);
            ok = false;
        }
        if (!ok) {
            error = QStringLiteral("%1: %2").arg(path, error);
            return false;
        }
    }

    std::sort(config.languages.begin(), config.languages.end(),
              [](const LanguageEntry &a, const LanguageEntry &b) { return a.index < b.index; });
    bool ok = checkLanguages(config, error);
    for (const ApertiumPair &pair : std::as_const(config.apertiumPairs)) {
        ok = ok &&
             checkCodes(config, QStringLiteral("[apertium] %1 -> %2").arg(pair.source, pair.target),
                        pair.source, pair.target, error);
    }
    for (const ExternalProvider &provider : std::as_const(config.externalProviders)) {
        ok = ok && checkCodes(config, QStringLiteral("[provider %1]").arg(provider.name),
                              provider.source, provider.target, error);
    }
    if (!ok) {
        error = QStringLiteral("%1: %2").arg(path, error);
        return false;
    }
    if (config.demoEmail.isEmpty() != config.demoPassword.isEmpty()) {
        error = QStringLiteral("%1: [accounts] demo_email and demo_password go together").arg(path);
        return false;
    }

    // A relative database lies in the state folder systemd gives the service, else beside the
    // configuration.
    const QString state = qEnvironmentVariable("STATE_DIRECTORY").section(QLatin1Char(':'), 0, 0);
    if (!config.isPostgres() && QDir::isRelativePath(config.database))
        config.database = QDir(state.isEmpty() ? QFileInfo(config.path).path() : state)
                              .absoluteFilePath(config.database);
    return true;
}
