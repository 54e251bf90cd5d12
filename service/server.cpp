#include "server.h"

#include "http/requestguard.h"

#include <QHttpServerRequest>
#include <QRegularExpression>
#include <QThreadPool>
#include <QTimer>

Server::Server(const ServiceConfig &config, Storage &storage, TranslationEngine *engine,
               const QStringList &installedModes, QObject *parent)
    : QObject(parent), m_config(config), m_reportQueue(storage, config.reportQueue),
      m_throttle(config.failuresBeforeDelay, config.maxDelaySeconds),
      m_reports(config.reportsPerClient, 3600), // beyond its share, a client waits up to an hour
      m_passwords(config.passwordQueue, config.passwordQueuePerClient),
      m_provider(config, engine, installedModes),
      m_settings(config, storage, m_cache, m_throttle, m_passwords, this),
      m_signup(config, storage, m_throttle, m_passwords, this),
      m_report(config, m_provider, m_reportQueue, m_reports), m_pages(config)
{
    addRoute(QStringLiteral("/"), false, [this](const auto &request, const auto &exchange) {
        m_pages.index(request, exchange);
    });
    addRoute(QStringLiteral("/lexorn/settings.php"), false,
             [this](const auto &request, const auto &exchange) {
                 m_settings.handle(request, exchange);
             });
    addRoute(QStringLiteral("/lexorn/translate.php"), false,
             [this](const auto &request, const auto &exchange) {
                 m_provider.handle(request, exchange);
             });
    addRoute(
        QStringLiteral("/lexorn/signup.php"), true,
        [this](const auto &request, const auto &exchange) { m_signup.handle(request, exchange); });
    // The program's views may post to any of their pages.
    addRoute(
        QStringLiteral("/lexorn/welcome.php"), true,
        [this](const auto &request, const auto &exchange) { m_pages.welcome(request, exchange); });
    addRoute(QStringLiteral("/lexorn/translating.php"), true,
             [this](const auto &request, const auto &exchange) {
                 m_pages.translating(request, exchange);
             });
    addRoute(
        QStringLiteral("/lexorn/banner.php"), true,
        [this](const auto &request, const auto &exchange) { m_report.handle(request, exchange); });
    addRoute(QStringLiteral("/lexorn/findtran.php"), false,
             [this](const auto &request, const auto &exchange) {
                 m_pages.findTranslator(request, exchange);
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

void Server::addRoute(const QString &path, bool allowPost, Handler handler)
{
    const QString pattern = QStringLiteral("^%1$").arg(QRegularExpression::escape(path));
    m_http.route(pattern, [this, allowPost, handler](const QHttpServerRequest &request,
                                                     QHttpServerResponder &&responder) {
        auto exchange =
            std::make_shared<Exchange>(request, std::move(responder), m_config.trustedProxies);
        if (m_draining)
            exchange->closeAfter(); // so that the balancer sends nothing more this way
        const auto method = request.method();
        if (method == QHttpServerRequest::Method::Get ||
            method == QHttpServerRequest::Method::Head ||
            (allowPost && method == QHttpServerRequest::Method::Post)) {
            handler(request, exchange);
            return;
        }
        exchange->addHeader(QByteArrayLiteral("Allow"), allowPost
                                                            ? QByteArrayLiteral("GET, HEAD, POST")
                                                            : QByteArrayLiteral("GET, HEAD"));
        exchange->send(Exchange::Status::MethodNotAllowed,
                       QByteArrayLiteral("text/plain; charset=utf-8"),
                       QByteArrayLiteral("Method not allowed\n"));
    });
}

bool Server::listen(QString &error)
{
    RequestLimits limits;
    limits.headMilliseconds = m_config.headTimeoutSeconds * 1000;
    limits.bodyMilliseconds = m_config.bodyTimeoutSeconds * 1000;
    limits.connections = m_config.maxConnections;
    limits.connectionsPerClient = m_config.maxConnectionsPerClient;
    limits.trustedProxies = m_config.trustedProxies;
    // A connection waiting for its translation is not idle.
    limits.idleMilliseconds =
        qMax(limits.idleMilliseconds, (m_config.apertiumTimeoutSeconds + 10) * 1000);
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
    m_settings.setProviders(m_base, m_provider.offered(m_base));
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
