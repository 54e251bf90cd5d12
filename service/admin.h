#pragma once

#include <QString>

class QCommandLineParser;
class Storage;
struct ServiceConfig;

// The administration commands of the command line, run instead of the server. Each returns the
// process's exit status.
enum ExitCode { Success = 0, Failure = 1, BadUsage = 2 };

// A line on standard error, where the service says all but a command's answer.
void say(const QString &text);

// The password is the first line of standard input; --level and --cap override the defaults.
int addUser(const ServiceConfig &config, Storage &storage, const QString &email,
            const QCommandLineParser &parser);
int setDisabled(Storage &storage, const QString &email, bool disabled);
int listReports(Storage &storage);
// Creates the configured demo account unless it exists; false when the database fails.
bool ensureDemoAccount(const ServiceConfig &config, Storage &storage);
