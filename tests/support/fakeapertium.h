#pragma once

#include <QByteArray>
#include <QString>

class QTemporaryDir;

// A stand-in for apertium in `folder`: "-l" lists `modes` (one a line), and an engine, started
// as "PROGRAM -z -u MODE", notes MODE in the folder's "starts" and runs `loop`, a bash script
// that has the mode as $0. Its path.
QString fakeApertium(const QTemporaryDir &folder, const QByteArray &modes, const QByteArray &loop);
