#pragma once

#include "models/AppMetric.h"

#include <QStringList>

// Small hand-made records for the view tests.
inline pelmora::AppMetric testApp(const QString &name, double cpu, quint64 memory, int processCount = 1)
{
    pelmora::AppMetric app{name.toLower(), name, cpu, memory, {}};
    for (int i = 0; i < processCount; ++i)
        app.processes.append({qint32(1000 + i), name, name.toLower() + QString::number(i), cpu, memory});
    return app;
}

inline QStringList appIDs(const QList<pelmora::AppMetric> &apps)
{
    QStringList ids;
    for (const pelmora::AppMetric &app : apps)
        ids << app.id;
    return ids;
}
