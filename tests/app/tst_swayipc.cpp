// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

// What Pelmora says to sway and reads back: i3-ipc frames, whole or torn or
// foreign, the free area in a workspace list, command results, and criteria
// that match the panel's title literally.
#include "app/wayland/SwayReplies.h"
#include "platform/SwayIpc.h"

#include <QtTest>

using namespace pelmora;
using platform::SwayMessage;

class TestSwayIpc : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void framesReplies_data()
    {
        QTest::addColumn<QByteArray>("buffer");
        QTest::addColumn<std::optional<QByteArray>>("payload");
        const QByteArray reply = platform::encodeSwayMessage(SwayMessage::getWorkspaces, "[{}]");
        QTest::newRow("whole") << reply << std::optional<QByteArray>("[{}]");
        QTest::newRow("and more after it") << reply + "i3-ipc" << std::optional<QByteArray>("[{}]");
        QTest::newRow("torn") << reply.left(reply.size() - 1) << std::optional<QByteArray>();
        QTest::newRow("another type") << platform::encodeSwayMessage(SwayMessage::getTree, "[{}]")
                                      << std::optional<QByteArray>();
        QTest::newRow("not i3-ipc") << QByteArray("HTTP/1.1 200 OK\r\n\r\n") << std::optional<QByteArray>();
        QByteArray huge = reply.left(6) + QByteArray(4, '\xff') + reply.mid(10);
        QTest::newRow("absurd length") << huge << std::optional<QByteArray>();
    }
    void framesReplies()
    {
        QFETCH(QByteArray, buffer);
        QTEST(platform::decodeSwayReply(buffer, SwayMessage::getWorkspaces), "payload");
    }

    void readsRepliesAndWritesCriteria()
    {
        const QByteArray workspaces =
            R"([{"num": 1, "focused": false, "rect": {"x": 0, "y": 0, "width": 9, "height": 9}},
            {"num": 2, "focused": true, "rect": {"x": 0, "y": 30, "width": 1280, "height": 770}}])";
        QCOMPARE(sway::focusedWorkspaceArea(workspaces), std::optional<QRect>(QRect(0, 30, 1280, 770)));
        QCOMPARE(sway::focusedWorkspaceArea("[{\"focused\": true}]"), std::optional<QRect>());
        QCOMPARE(sway::focusedWorkspaceArea("not json"), std::optional<QRect>());

        QVERIFY(sway::commandsSucceeded(R"([{"success": true}, {"success": true}])"));
        QVERIFY(!sway::commandsSucceeded(R"([{"success": true}, {"success": false, "error": "No matching node"}])"));
        QVERIFY(!sway::commandsSucceeded("[]"));

        // A title with pattern characters and quotes matches only itself.
        QCOMPARE(sway::criteria(42, QStringLiteral("Pelmora (panel) \"1.0\"")),
                 QStringLiteral("[pid=42 title=\"^Pelmora \\(panel\\) \\\"1\\.0\\\"\"]"));
        QCOMPARE(sway::literalPattern(QStringLiteral("a.b")), QStringLiteral("^a\\.b$"));
    }
};

QTEST_MAIN(TestSwayIpc)
#include "tst_swayipc.moc"
