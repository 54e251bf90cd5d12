#pragma once

#include "platform/identity.h"
#include "platform/settingsstore.h"
#include "startup/userrequests.h"

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <tuple>
#include <utility>

// Empties the program's settings store. On Windows it is the user's registry: under wine, the
// build's own prefix.
inline void clearSettings()
{
#ifdef Q_OS_WIN
    QSettings(QStringLiteral("HKEY_CURRENT_USER\\Software\\") + platform::CompanyName(),
              QSettings::NativeFormat)
        .clear();
#else
    QSettings(QSettings::IniFormat, QSettings::UserScope, platform::CompanyName(),
              platform::AppTitle())
        .clear();
#endif
}

// Stores the credentials the settings download sends.
inline void storeCredentials(const QString &user, const QString &password)
{
    using namespace platform;
    SaveSetting(AppTitle(), QStringLiteral("Login"), QStringLiteral("Username"), user);
    SaveSetting(AppTitle(), QStringLiteral("Login"), QStringLiteral("Password"), password);
}

// Like QTEST_MAIN, but the settings store lives in a fresh temporary folder for the whole run,
// so no test reads or writes the developer's own settings; on Windows it starts empty.
#define LEXORN_TEST_MAIN(TestClass)                                                                \
    int main(int argc, char *argv[])                                                               \
    {                                                                                              \
        QTemporaryDir configHome;                                                                  \
        qputenv("XDG_CONFIG_HOME", configHome.path().toUtf8());                                    \
        QApplication app(argc, argv);                                                              \
        app.setAttribute(Qt::AA_Use96Dpi, true);                                                   \
        clearSettings();                                                                           \
        AnswerUserRequests();                                                                      \
        TestClass test;                                                                            \
        QTEST_SET_MAIN_SOURCE_PATH                                                                 \
        return QTest::qExec(&test, argc, argv);                                                    \
    }

// The names the last columns() gave: QtTest runs a test function's rows right after its _data().
inline QList<const char *> columnNames;

// The columns of a data-driven test: their types, and their names in the same order.
template <typename... Types> void columns(std::initializer_list<const char *> names)
{
    columnNames = names;
    auto name = names.begin();
    (QTest::addColumn<Types>(*name++), ...);
}

// The current row's values of those columns, e.g. const auto [a, b] = fetch<int, QString>("a",
// "b").
template <typename... Types, typename... Names> std::tuple<Types...> fetch(Names... names)
{
    return {*static_cast<Types *>(QTest::qData(names, qMetaTypeId<Types>()))...};
}

// The current row's values of the columns the test's columns() gave, e.g. const auto [a, b] =
// current<int, QString>().
template <typename... Types> std::tuple<Types...> current()
{
    return [&]<qsizetype... Column>(std::integer_sequence<qsizetype, Column...>)
    {
        return std::tuple<Types...>{
            *static_cast<Types *>(QTest::qData(columnNames.at(Column), qMetaTypeId<Types>()))...};
    }
    (std::make_integer_sequence<qsizetype, sizeof...(Types)>{});
}

// One row of a data-driven test, its values in column order.
template <typename... Values> void dataRow(const char *name, const Values &...values)
{
    (QTest::newRow(name) << ... << values);
}
