#pragma once

#include <QByteArray>
#include <QString>

// Apertium's stream format for plain text, as its txt deformatter and reformatter write and read
// it.
namespace streamformat {

QByteArray deformat(const QString &text);
QString reformat(const QByteArray &stream);

} // namespace streamformat
