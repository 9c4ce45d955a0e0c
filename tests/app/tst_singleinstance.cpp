// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

// One program per session, on a private bus: the first start owns the name,
// a later one reaches it, and the name passes on when the first ends.
#include "app/SingleInstance.h"

#include "testsupport/PrivateBus.h"

#include <QtDBus>
#include <QtTest>

using namespace pelmora;
using namespace Qt::StringLiterals;
using Claim = SingleInstance::Claim;

class TestSingleInstance : public QObject {
    Q_OBJECT

    PrivateBus m_daemon;

    QDBusConnection connection(const QString &name) { return QDBusConnection::connectToBus(m_daemon.address(), name); }

private Q_SLOTS:
    void initTestCase()
    {
        if (!m_daemon.start())
            QSKIP(qPrintable(u"no private bus: "_s + m_daemon.errorString()));
    }

    void oneInstancePerSession()
    {
        auto first = std::make_unique<SingleInstance>(connection(u"first"_s));
        SingleInstance second(connection(u"second"_s));
        QSignalSpy opened(first.get(), &SingleInstance::activationRequested);
        QCOMPARE(first->claim(), Claim::first);
        QCOMPARE(second.claim(), Claim::second);

        // The call blocks this thread, where the first one answers too: run it from a thread of its own.
        QString error = u"no answer"_s;
        QThread *caller = QThread::create([&] { error = second.activateFirst(3000); });
        caller->start();
        QTRY_VERIFY(caller->isFinished());
        delete caller;
        QCOMPARE(error, QString());
        QCOMPARE(opened.size(), 1);

        // Launchers speak the standard interface; there are no actions to run.
        QDBusConnection launcher = connection(u"launcher"_s);
        QDBusMessage action = QDBusMessage::createMethodCall(u"org.pelmora.Pelmora"_s, u"/org/pelmora/Pelmora"_s,
                                                             u"org.freedesktop.Application"_s, u"ActivateAction"_s);
        action << u"quit"_s << QVariantList() << QVariantMap();
        QDBusPendingCall pending = launcher.asyncCall(action);
        QTRY_VERIFY(pending.isFinished());
        QVERIFY(pending.isError());
        QDBusMessage open = QDBusMessage::createMethodCall(u"org.pelmora.Pelmora"_s, u"/org/pelmora/Pelmora"_s,
                                                           u"org.freedesktop.Application"_s, u"Open"_s);
        open << QStringList{u"file:///tmp"_s} << QVariantMap();
        pending = launcher.asyncCall(open);
        QTRY_VERIFY(pending.isFinished());
        QVERIFY2(!pending.isError(), qPrintable(pending.error().message()));
        QCOMPARE(opened.size(), 2);

        // When the first one ends, the name is free for the next start.
        first.reset();
        QDBusConnection::disconnectFromBus(u"first"_s);
        QCOMPARE(second.claim(), Claim::first);
        QCOMPARE(SingleInstance(QDBusConnection(u"not connected"_s)).claim(), Claim::noBus);
        for (const char *name : {"second", "launcher"})
            QDBusConnection::disconnectFromBus(QLatin1String(name));
    }
};

QTEST_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
