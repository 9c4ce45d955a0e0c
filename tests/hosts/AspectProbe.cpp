// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "AspectProbe.h"

#include "app/tray/StatusNotifierTypes.h"

#include <QCoreApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusMessage>
#include <QImage>

namespace {

class ProbeAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierItem")
    Q_PROPERTY(QString Category READ category)
    Q_PROPERTY(QString Id READ id)
    Q_PROPERTY(QString Title READ id)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(QString IconName READ empty)
    Q_PROPERTY(QList<pelmora::SniIconPixmap> IconPixmap READ iconPixmap)
    Q_PROPERTY(bool ItemIsMenu READ itemIsMenu)

public:
    explicit ProbeAdaptor(QObject *parent) : QDBusAbstractAdaptor(parent) { }
    QString category() const { return QStringLiteral("ApplicationStatus"); }
    QString id() const { return QStringLiteral("aspect-probe"); }
    QString status() const { return QStringLiteral("Active"); }
    QString empty() const { return {}; }
    bool itemIsMenu() const { return false; }
    pelmora::SniIconPixmapList iconPixmap() const
    {
        pelmora::SniIconPixmapList pixmaps;
        for (int height : {22, 44}) {
            QImage bar(3 * height, height, QImage::Format_ARGB32);
            bar.fill(QColor::fromRgb(AspectProbe::marker));
            pixmaps.append(pelmora::toSniIconPixmap(bar));
        }
        return pixmaps;
    }

public Q_SLOTS:
    void Activate(int, int) { }
    void ContextMenu(int, int) { }
    void SecondaryActivate(int, int) { }
};

} // namespace

AspectProbe::AspectProbe(const QDBusConnection &bus)
    : m_bus(bus), m_name(QStringLiteral("org.kde.StatusNotifierItem-%1-aspect").arg(QCoreApplication::applicationPid()))
{
    pelmora::registerStatusNotifierTypes();
    new ProbeAdaptor(this);
}

AspectProbe::~AspectProbe()
{
    m_bus.unregisterObject(QStringLiteral("/StatusNotifierItem"));
    m_bus.unregisterService(m_name);
}

bool AspectProbe::publish()
{
    if (!m_bus.registerObject(QStringLiteral("/StatusNotifierItem"), this, QDBusConnection::ExportAdaptors)
        || !m_bus.registerService(m_name))
        return false;
    QDBusMessage call = QDBusMessage::createMethodCall("org.kde.StatusNotifierWatcher", "/StatusNotifierWatcher",
                                                       "org.kde.StatusNotifierWatcher", "RegisterStatusNotifierItem");
    call << m_name;
    return m_bus.call(call, QDBus::Block, 5000).type() == QDBusMessage::ReplyMessage;
}

#include "AspectProbe.moc"
