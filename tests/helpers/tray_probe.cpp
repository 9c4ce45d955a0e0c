// tray_probe [--title TEXT]: a tray item with a fixed title. Prints one line per
// event (service NAME | mode statusNotifier|xembed|none | activated X Y | open | quit)
// and exits 0 after "quit".
#include "app/tray/TrayItem.h"

#include <QApplication>
#include <QMetaEnum>
#include <QTextStream>

namespace {

void say(const QString &line)
{
    static QTextStream out(stdout);
    out << line << Qt::endl; // flushed: the test reads line by line
}

void sayMode(pelmora::TrayItem::Mode mode)
{
    say(QStringLiteral("mode ") + QLatin1String(QMetaEnum::fromType<pelmora::TrayItem::Mode>().valueToKey(int(mode))));
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    QString title = QStringLiteral("42/17");
    const QStringList args = app.arguments();
    if (const qsizetype at = args.indexOf(QStringLiteral("--title")); at >= 0 && at + 1 < args.size())
        title = args.at(at + 1);

    pelmora::TrayItem item;
    item.setTitle(title);
    QObject::connect(&item, &pelmora::TrayItem::activated, [](QPoint anchor) {
        say(QStringLiteral("activated %1 %2").arg(anchor.x()).arg(anchor.y()));
    });
    QObject::connect(&item, &pelmora::TrayItem::openRequested, [] { say(QStringLiteral("open")); });
    QObject::connect(&item, &pelmora::TrayItem::quitRequested, [&app] {
        say(QStringLiteral("quit"));
        app.quit();
    });
    QObject::connect(&item, &pelmora::TrayItem::modeChanged, sayMode);
    say(QStringLiteral("service %1").arg(item.serviceName()));
    sayMode(item.mode());
    return app.exec();
}
