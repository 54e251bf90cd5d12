#include "server.h"

#include "engine/engine.h"
#include "http/guardedserver.h"

#include <QHttpServerRequest>
#include <QRegularExpression>
#include <QThreadPool>
#include <QTimer>

#include <algorithm>

Server::Server(const ServiceConfig &config, Storage &storage, TranslationEngine *engine,
               const QStringList &installedModes, QObject *parent)
    : QObject(parent), m_config(config), m_reportQueue(storage, config.reportQueue),
      m_throttle(config.failuresBeforeDelay, config.maxDelaySeconds),
      m_reports(config.reportsPerClient, 3600), // beyond its share, a client waits up to an hour
      m_passwords(config.passwordQueue, config.passwordQueuePerClient),
      m_catalogue(config, installedModes), m_provider(config, engine, m_catalogue),
      m_settings(config, storage, m_cache, m_throttle, m_passwords, this),
      m_signup(config, storage, m_throttle, m_passwords, this),
      m_report(config, m_catalogue, m_reportQueue, m_reports), m_pages(config)
{
    const QByteArrayList read = {QByteArrayLiteral("GET"), QByteArrayLiteral("HEAD")};
    // The program's views may post to any of their pages.
    const QByteArrayList posted = read + QByteArrayList{QByteArrayLiteral("POST")};
    const Route routes[] = {
        {read, QStringLiteral("/"), std::bind_front(&Pages::index, &m_pages)},
        {read, QStringLiteral("/lexorn/settings.php"),
         std::bind_front(&SettingsEndpoint::handle, &m_settings)},
        {read, QStringLiteral("/lexorn/translate.php"),
         std::bind_front(&ProviderEndpoint::handle, &m_provider)},
        {posted, QStringLiteral("/lexorn/signup.php"),
         std::bind_front(&SignupEndpoint::handle, &m_signup)},
        {posted, QStringLiteral("/lexorn/welcome.php"), std::bind_front(&Pages::welcome, &m_pages)},
        {posted, QStringLiteral("/lexorn/translating.php"),
         std::bind_front(&Pages::translating, &m_pages)},
        {posted, QStringLiteral("/lexorn/banner.php"),
         std::bind_front(&ReportEndpoint::handle, &m_report)},
        {read, QStringLiteral("/lexorn/findtran.php"),
         std::bind_front(&Pages::findTranslator, &m_pages)},
    };
    for (const Route &route : routes)
        addRoute(route);
    connect(engine, &TranslationEngine::withdrawn, this, [this](const QString &mode) {
        m_catalogue.withdraw(mode);
        m_settings.setProviders(m_base, m_catalogue.offered(m_base));
    });
    m_http.setMissingHandler(
        [this](const QHttpServerRequest &request, QHttpServerResponder &&responder) {
            m_pages.notFound(
                std::make_shared<Exchange>(request, std::move(responder), m_config.trustedProxies));
        });
}

Server::~Server()
{
    // Password work still running posts its result to this object.
    QThreadPool::globalInstance()->waitForDone();
}

void Server::addRoute(const Route &route)
{
    const QString pattern = QStringLiteral("^%1$").arg(QRegularExpression::escape(route.path));
    m_http.route(pattern, [this, route](const QHttpServerRequest &request,
                                        QHttpServerResponder &&responder) {
        auto exchange =
            std::make_shared<Exchange>(request, std::move(responder), m_config.trustedProxies);
        if (m_draining)
            exchange->closeAfter(); // so that the balancer sends nothing more this way
        if (route.methods.contains(exchange->method())) {
            route.handler(request, exchange);
            return;
        }
        exchange->addHeader(QByteArrayLiteral("Allow"),
                            route.methods.join(QByteArrayLiteral(", ")));
        exchange->send(Exchange::Status::MethodNotAllowed,
                       QByteArrayLiteral("text/plain; charset=utf-8"),
                       QByteArrayLiteral("Method not allowed\n"));
    });
}

bool Server::listen(QString &error)
{
    RequestLimits limits;
    limits.headTimeout = std::chrono::seconds(m_config.headTimeoutSeconds);
    limits.bodyTimeout = std::chrono::seconds(m_config.bodyTimeoutSeconds);
    limits.maximumConnections = m_config.maxConnections;
    limits.maximumConnectionsPerHost = m_config.maxConnectionsPerClient;
    limits.trustedProxies = m_config.trustedProxies;
    // A connection waiting for its translation is not idle.
    limits.keepAliveTimeout = std::max<std::chrono::milliseconds>(
        limits.keepAliveTimeout, std::chrono::seconds(m_config.apertiumTimeoutSeconds + 10));
    m_tcp = new GuardedServer(limits, this);
    // A flood of connections must not fill the queue of those not yet accepted: a client whose
    // connection attempt is dropped there tries again only a second later.
    m_tcp->setListenBacklogSize(1024);
    if (!m_tcp->listen(m_config.listenAddress, m_config.port)) {
        error = QStringLiteral("cannot listen on %1 port %2: %3")
                    .arg(m_config.listenAddress.toString())
                    .arg(m_config.port)
                    .arg(m_tcp->errorString());
        return false;
    }
    m_http.bind(m_tcp);
    m_tcp->attach(&m_http);
    m_base = m_config.publicBase(m_tcp->serverPort());
    m_settings.setProviders(m_base, m_catalogue.offered(m_base));
    m_report.setBase(m_base);
    return true;
}

void Server::drain(int graceMilliseconds)
{
    if (m_draining || !m_tcp)
        return;
    m_draining = true;
    connect(m_tcp, &GuardedServer::drained, this, &Server::drained);
    QTimer::singleShot(graceMilliseconds, this, &Server::drained);
    m_tcp->drain();
}

quint16 Server::port() const
{
    return m_tcp ? m_tcp->serverPort() : 0;
}
