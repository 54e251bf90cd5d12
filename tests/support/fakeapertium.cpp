#include "support/fakeapertium.h"

#include <QFile>
#include <QTemporaryDir>

QString fakeApertium(const QTemporaryDir &folder, const QByteArray &modes, const QByteArray &loop)
{
    QFile script(folder.filePath("fake-apertium"));
    script.open(QIODevice::WriteOnly);
    script.write("#!/bin/sh\n[ \"$1\" = -l ] && printf '" + modes +
                 "' && exit\necho \"$3\" >>\"$(dirname \"$0\")/starts\"\nexec bash -c '" + loop +
                 "' \"$3\"\n");
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return script.fileName();
}
