#pragma once

#include "TestSupport.h"

#include <QFile>
#include <QTest>

// The cases of a data file written as sections: "== NAME" starts one, the lines after it are
// its own.
inline QList<std::pair<QString, QStringList>> dataSections(const QString &name)
{
    QList<std::pair<QString, QStringList>> sections;
    for (const QString &line : dataLines(name)) {
        if (line.startsWith(QLatin1String("== ")))
            sections.append({line.mid(3), {}});
        else if (!sections.isEmpty())
            sections.last().second << line;
    }
    return sections;
}

// Writes a whole file, or says it could not; reads one, empty when it cannot.
inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}
inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
