#pragma once

#include "exitcode.h"

#include <QString>

class QCommandLineParser;
class Storage;
struct ServiceConfig;

// The administration commands of the command line, run instead of the server. Each says what went
// wrong through Qt's logging, on standard error, and prints only its answer on standard output.
// The password is the first line of standard input; --level and --cap override the defaults.
ExitCode addUser(const ServiceConfig &config, Storage &storage, const QString &email,
                 const QCommandLineParser &parser);
ExitCode setDisabled(Storage &storage, const QString &email, bool disabled);
ExitCode listReports(Storage &storage);
// Creates the configured demo account unless it exists; false when the database fails.
bool ensureDemoAccount(const ServiceConfig &config, Storage &storage);
