#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

namespace {

constexpr auto appId = "org.pelmora.Pelmora";

struct Run {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

Run run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    process.setProcessEnvironment(env);
    process.start(program, arguments);
    Run result;
    if (process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit)
        result.exitCode = process.exitCode();
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

struct Option {
    QString syntax;      // "-h, --help", "--metrics-probe <path>"
    QString description; // its lines joined by single spaces

    friend bool operator==(const Option &, const Option &) = default;
};

QString simplified(const QStringList &lines)
{
    return lines.join(u' ').simplified();
}

// The options block of QCommandLineParser's help text.
QList<Option> helpOptions(const QString &help)
{
    static const QRegularExpression entry(QStringLiteral("^  (-\\S.*?)\\s{2,}(\\S.*)$"));
    static const QRegularExpression continuation(QStringLiteral("^\\s{3,}(\\S.*)$"));
    QList<Option> options;
    QStringList description;
    bool inOptions = false;
    const auto flush = [&] {
        if (!options.isEmpty())
            options.last().description = simplified(description);
        description.clear();
    };
    for (const QString &line : help.split(u'\n')) {
        if (line == u"Options:") {
            inOptions = true;
            continue;
        }
        if (!inOptions)
            continue;
        if (const QRegularExpressionMatch m = entry.match(line); m.hasMatch()) {
            flush();
            options.append({m.captured(1), {}});
            description << m.captured(2);
        } else if (const QRegularExpressionMatch c = continuation.match(line); c.hasMatch()) {
            description << c.captured(1);
        } else {
            break;
        }
    }
    flush();
    return options;
}

// roff text as a reader sees it: escapes and font changes resolved.
QString plainRoff(QString text)
{
    text.replace(QStringLiteral("\\-"), QStringLiteral("-"));
    static const QRegularExpression fonts(QStringLiteral("\\\\f[BIRP]"));
    text.remove(fonts);
    return text;
}

// ".BR \-h ", " \-\-help" -> "-h, --help": a font macro's arguments, joined.
QString macroText(const QString &line)
{
    static const QRegularExpression argument(QStringLiteral("\"([^\"]*)\"|(\\S+)"));
    QString text;
    auto it = argument.globalMatch(line.section(u' ', 1));
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        text += m.hasCaptured(1) ? m.captured(1) : m.captured(2);
    }
    return plainRoff(text);
}

// The OPTIONS section of a man page: .TP, the option line, its description.
QList<Option> manOptions(const QString &page)
{
    QList<Option> options;
    QStringList description;
    bool inOptions = false;
    bool expectSyntax = false;
    const auto flush = [&] {
        if (!options.isEmpty())
            options.last().description = simplified(description);
        description.clear();
    };
    for (const QString &line : page.split(u'\n')) {
        if (line.startsWith(QStringLiteral(".SH"))) {
            if (inOptions)
                break;
            inOptions = line == u".SH OPTIONS";
            continue;
        }
        if (!inOptions)
            continue;
        if (line == u".TP") {
            flush();
            expectSyntax = true;
        } else if (expectSyntax) {
            options.append({macroText(line), {}});
            expectSyntax = false;
        } else if (!options.isEmpty()) {
            description << plainRoff(line);
        }
    }
    flush();
    return options;
}

QString describe(const QList<Option> &options)
{
    QStringList lines;
    for (const Option &o : options)
        lines << o.syntax + QStringLiteral(" | ") + o.description;
    return lines.join(u'\n');
}

} // namespace

// `cmake --install` of this build tree into a scratch prefix, and what a
// desktop then finds there.
class TestInstallation : public QObject {
    Q_OBJECT

    QTemporaryDir prefix;

    QString installed(const QString &path) const { return prefix.filePath(path); }

private slots:
    void initTestCase()
    {
        QVERIFY(prefix.isValid());
        const Run install = run(QStringLiteral(PELMORA_CMAKE),
                                {QStringLiteral("--install"), QStringLiteral(PELMORA_BINARY_DIR),
                                 QStringLiteral("--prefix"), prefix.path()});
        QVERIFY2(install.exitCode == 0, install.err.constData());
    }

    void programRuns()
    {
        const Run version = run(installed(QStringLiteral("bin/pelmora")), {QStringLiteral("--version")});
        QCOMPARE(version.exitCode, 0);
        QVERIFY(version.out.startsWith("pelmora "));
    }

    void desktopEntryNamesTheProgramAndIcon()
    {
        const QString path = installed(QStringLiteral("share/applications/%1.desktop").arg(QLatin1String(appId)));
        QVERIFY(QFile::exists(path));
        QSettings entry(path, QSettings::IniFormat);
        entry.beginGroup(QStringLiteral("Desktop Entry"));
        QCOMPARE(entry.value(QStringLiteral("Exec")).toString(), u"pelmora");
        QCOMPARE(entry.value(QStringLiteral("Icon")).toString(), QLatin1String(appId));
        QVERIFY(QFile::exists(installed(QStringLiteral("share/icons/hicolor/scalable/apps/%1.svg").arg(QLatin1String(appId)))));
    }

    void iconSizesMatchTheirFolders()
    {
        QDirIterator it(installed(QStringLiteral("share/icons/hicolor")), {QStringLiteral("*.png")}, QDir::Files,
                        QDirIterator::Subdirectories);
        QStringList sizes;
        while (it.hasNext()) {
            const QString path = it.next();
            const QString folder = path.section(u'/', -3, -3); // "48x48"
            const QImage image(path);
            QVERIFY2(!image.isNull(), qPrintable(path));
            QCOMPARE(QStringLiteral("%1x%2").arg(image.width()).arg(image.height()), folder);
            QVERIFY2(path.endsWith(QStringLiteral("/apps/%1.png").arg(QLatin1String(appId))), qPrintable(path));
            sizes << folder;
        }
        for (const char *size : {"16x16", "22x22", "24x24", "32x32", "48x48", "64x64", "128x128", "256x256"})
            QVERIFY2(sizes.contains(QLatin1String(size)), size);
    }

    void metainfoLaunchesTheDesktopEntry()
    {
        QFile file(installed(QStringLiteral("share/metainfo/%1.metainfo.xml").arg(QLatin1String(appId))));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QXmlStreamReader xml(&file);
        QString id;
        QString launchable;
        QStringList screenshots;
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement)
                continue;
            if (xml.name() == u"id")
                id = xml.readElementText();
            else if (xml.name() == u"launchable")
                launchable = xml.readElementText();
            else if (xml.name() == u"image")
                screenshots << xml.readElementText();
        }
        QVERIFY(!xml.hasError());
        QCOMPARE(id, QLatin1String(appId));
        QVERIFY(QFile::exists(installed(QStringLiteral("share/applications/") + launchable)));
        // Every screenshot named there is one the repository has.
        QVERIFY(!screenshots.isEmpty());
        for (const QString &url : screenshots) {
            QVERIFY2(QFile::exists(QStringLiteral(PELMORA_SOURCE_DIR "/docs/screenshots/") + url.section(u'/', -1)),
                     qPrintable(url));
        }
    }

    void manPageOptionsMatchHelp()
    {
        const Run unzip = run(QStringLiteral("gzip"), {QStringLiteral("-dc"), installed(QStringLiteral("share/man/man1/pelmora.1.gz"))});
        QCOMPARE(unzip.exitCode, 0);
        const QList<Option> man = manOptions(QString::fromUtf8(unzip.out));

        const Run help = run(installed(QStringLiteral("bin/pelmora")), {QStringLiteral("--help")});
        QCOMPARE(help.exitCode, 0);
        const QList<Option> options = helpOptions(QString::fromUtf8(help.out));

        QVERIFY(options.size() >= 7);
        QVERIFY2(man == options, qPrintable(QStringLiteral("man page:\n%1\n--help:\n%2").arg(describe(man), describe(options))));
    }
};

QTEST_GUILESS_MAIN(TestInstallation)
#include "tst_installation.moc"
