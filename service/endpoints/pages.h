#pragma once

#include "config/config.h"
#include "http/exchange.h"

class QHttpServerRequest;

// The service's static pages: its index, the welcome and "translating" pages shown in the
// program's views, the list of translators that Find a Translator opens, and "not found".
class Pages
{
    Q_DISABLE_COPY(Pages)

public:
    explicit Pages(const ServiceConfig &config) : m_config(config) {}

    void index(const QHttpServerRequest &request, const SharedExchange &exchange);
    void welcome(const QHttpServerRequest &request, const SharedExchange &exchange);
    void translating(const QHttpServerRequest &request, const SharedExchange &exchange);
    void findTranslator(const QHttpServerRequest &request, const SharedExchange &exchange);
    void notFound(const SharedExchange &exchange);

private:
    const ServiceConfig &m_config;
};
