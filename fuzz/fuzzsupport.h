#pragma once

#include "platform/messagebox.h"

#include <QApplication>
#include <QByteArray>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

// A broken invariant is a crash to libFuzzer: it keeps the input and stops.
#define FUZZ_CHECK(condition)                                                                      \
    ((condition) ? void() : qFatal("invariant broken: %s (%s:%d)", #condition, __FILE__, __LINE__))

namespace fuzz {

inline int boxesShown = 0;

inline QByteArray bytes(const std::uint8_t *data, std::size_t size)
{
    return QByteArray(reinterpret_cast<const char *>(data), qsizetype(size));
}

} // namespace fuzz

// One offscreen application for the whole run; message boxes are answered at once and counted.
// Each target is one file, so this is defined once in each.
extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    static int argc = 1;
    static char name[] = "lexorn-fuzz";
    static char *argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication *app = new QApplication(argc, argv);
    Q_UNUSED(app);
    platform::setMessageBoxPresenter([](const platform::MessageBoxRequest &) {
        ++fuzz::boxesShown;
        return int(platform::vbOK);
    });
    return 0;
}
