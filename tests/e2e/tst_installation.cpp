// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

// `cmake --install` of this build tree into a scratch prefix, and what a
// desktop then finds there.
#include "testsupport/ProgramRun.h"

#include <QDateTime>
#include <QDirIterator>
#include <QImage>
#include <QLibraryInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTranslator>

namespace {

const QString appId = QStringLiteral("org.pelmora.Pelmora");

ProgramRun run(const QString &program, const QStringList &arguments)
{
    return runProgram(program, arguments, environmentWithoutDisplay(), 120000);
}

// "syntax | description" per option of QCommandLineParser's help text.
QStringList helpOptions(const QString &help)
{
    static const QRegularExpression entry(QStringLiteral("^  (-\\S.*?)\\s{2,}(\\S.*)$"));
    static const QRegularExpression continuation(QStringLiteral("^\\s{3,}(\\S.*)$"));
    QStringList options;
    for (const QString &line : help.section(QStringLiteral("\nOptions:\n"), 1).split(u'\n')) {
        if (const auto m = entry.match(line); m.hasMatch())
            options << m.captured(1) + " | " + m.captured(2);
        else if (const auto c = continuation.match(line); c.hasMatch() && !options.isEmpty())
            options.last() += ' ' + c.captured(1);
        else
            break;
    }
    for (QString &option : options)
        option = option.simplified();
    return options;
}

// The same from the man page's OPTIONS section: .TP, a font macro line, the description.
QStringList manOptions(QString page)
{
    page.replace(QStringLiteral("\\-"), QStringLiteral("-")).remove(QRegularExpression(QStringLiteral("\\\\f[BIRP]")));
    static const QRegularExpression argument(QStringLiteral("\"([^\"]*)\"|(\\S+)"));
    QStringList options;
    const QString section = page.section(QStringLiteral("\n.SH OPTIONS\n"), 1).section(QStringLiteral("\n.SH"), 0, 0);
    for (const QString &item : section.split(QStringLiteral(".TP\n"), Qt::SkipEmptyParts)) {
        QString syntax;
        for (auto it = argument.globalMatch(item.section(u'\n', 0, 0).section(u' ', 1)); it.hasNext();) {
            const auto m = it.next();
            syntax += m.hasCaptured(1) ? m.captured(1) : m.captured(2);
        }
        options << syntax + " | " + item.section(u'\n', 1).simplified();
    }
    return options;
}

// Qt words the options it adds itself (help, version) differently from one
// release to the next (6.4 and 6.8 differ): of those, the syntax must match.
QStringList withoutQtWording(QStringList options)
{
    for (QString &option : options) {
        const QString syntax = option.section(QStringLiteral(" | "), 0, 0);
        if (syntax == "-h, --help" || syntax == "--help-all" || syntax == "-v, --version")
            option = syntax;
    }
    return options;
}

} // namespace

class TestInstallation : public QObject {
    Q_OBJECT

    QTemporaryDir prefix;

    QString installed(const QString &path) const { return prefix.filePath(path); }

private slots:
    void initTestCase()
    {
        QVERIFY(prefix.isValid());
        const auto [code, out] = run(PELMORA_CMAKE, {"--install", PELMORA_BINARY_DIR, "--prefix", prefix.path()});
        QVERIFY2(code == 0, qPrintable(out));
    }

    // The desktop entry, what the AppStream file launches, and the German
    // catalogue. The AppStream file is well-formed as data.metainfo says;
    // here: what it points at exists.
    void desktopEntryAndTranslations()
    {
        QFile file(installed("share/applications/" + appId + ".desktop"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList entry = QString::fromUtf8(file.readAll()).split(u'\n');
        QVERIFY(entry.contains("Exec=" + installed("bin/pelmora")) && entry.contains("Icon=" + appId));
        QVERIFY(!entry.filter(QRegularExpression("^Comment\\[de\\]=.")).isEmpty());
        QVERIFY(QFile::exists(installed("share/icons/hicolor/scalable/apps/" + appId + ".svg")));
        // The German catalogue travels inside the installed program (a resource name, in UTF-16).
        QFile program(installed("bin/pelmora"));
        QVERIFY(program.open(QIODevice::ReadOnly));
        QVERIFY(program.readAll().contains(QByteArray("\0p\0e\0l\0m\0o\0r\0a\0_\0d\0e\0.\0q\0m", 26)));

        QFile metainfo(installed("share/metainfo/" + appId + ".metainfo.xml"));
        QVERIFY(metainfo.open(QIODevice::ReadOnly));
        const QString xml = QString::fromUtf8(metainfo.readAll());
        const auto element = [&xml](const QString &name) {
            QStringList texts;
            for (auto it = QRegularExpression("<" + name + "( [^>]*)?>([^<]*)</").globalMatch(xml); it.hasNext();)
                texts << it.next().captured(2);
            return texts;
        };
        QCOMPARE(element("id"), QStringList{appId});
        QCOMPARE(element("launchable"), QStringList{appId + ".desktop"});

        if (QStandardPaths::findExecutable("desktop-file-validate").isEmpty())
            QSKIP("desktop-file-validate is not installed");
        const auto [code, out] = run("desktop-file-validate", {file.fileName()});
        QVERIFY2(code == 0, qPrintable(out));
    }

    void iconSizesMatchTheirFolders()
    {
        QStringList sizes;
        for (QDirIterator it(installed("share/icons/hicolor"), {"*.png"}, QDir::Files, QDirIterator::Subdirectories);
             it.hasNext();) {
            const QString path = it.next();
            const QImage image(path);
            sizes << QStringLiteral("%1x%2").arg(image.width()).arg(image.height());
            QVERIFY2(path.endsWith(sizes.last() + "/apps/" + appId + ".png"), qPrintable(path));
        }
        sizes.sort();
        QCOMPARE(sizes.join(' '), "128x128 16x16 22x22 24x24 256x256 32x32 48x48 64x64");
    }

    // The newest entry of debian/changelog is the release: the program, the
    // man page and the AppStream file all show its version and date.
    void versionAndDateAgreeWithTheChangelog()
    {
        QFile changelog(PELMORA_SOURCE_DIR "/debian/changelog");
        QVERIFY(changelog.open(QIODevice::ReadOnly | QIODevice::Text));
        const QString entries = QString::fromUtf8(changelog.readAll());
        const auto head = QRegularExpression(R"(^pelmora \((?:\d+:)?([^)-]+)(?:-[^)]*)?\) )").match(entries);
        QVERIFY2(head.hasMatch(), qPrintable(entries.section(u'\n', 0, 0)));
        const QString version = head.captured(1);
        const auto trailer = QRegularExpression(R"(\n -- [^\n]*>  ([^\n]+))").match(entries);
        QVERIFY(trailer.hasMatch());
        const QDateTime stamp = QDateTime::fromString(trailer.captured(1), Qt::RFC2822Date);
        QVERIFY2(stamp.isValid(), qPrintable(trailer.captured(1)));
        const QString date = stamp.toUTC().date().toString(Qt::ISODate);

        const auto [printed, out] = run(installed("bin/pelmora"), {"--version"});
        QCOMPARE(printed, 0);
        QCOMPARE(out.trimmed(), "pelmora " + version);

        const auto [unzipped, page] = run("gzip", {"-dc", installed("share/man/man1/pelmora.1.gz")});
        QCOMPARE(unzipped, 0);
        const auto th = QRegularExpression(R"re(^\.TH PELMORA 1 "([^"]*)" "Pelmora ([^"]*)")re",
                                           QRegularExpression::MultilineOption)
                            .match(page);
        QVERIFY(th.hasMatch());
        QCOMPARE(th.captured(2), version);
        QCOMPARE(th.captured(1), date);

        QFile metainfo(installed("share/metainfo/" + appId + ".metainfo.xml"));
        QVERIFY(metainfo.open(QIODevice::ReadOnly));
        const auto releases = QRegularExpression(R"re(<release version="([^"]*)" date="([^"]*)")re")
                                  .globalMatch(QString::fromUtf8(metainfo.readAll()));
        QVERIFY(releases.hasNext());
        const auto newest = releases.peekNext();
        QCOMPARE(newest.captured(1), version);
        QCOMPARE(newest.captured(2), date);
    }

    // Qt's own texts (--help's lines, the search field's menu) are in Qt's
    // catalogue, which Debian ships apart from Qt: the package that puts it
    // where the program looks is one pelmora recommends, and with it --help
    // speaks German.
    void qtCatalogueIsRecommended()
    {
        const QString catalogue = QLibraryInfo::path(QLibraryInfo::TranslationsPath) + "/qtbase_de.qm";
        if (!QFile::exists(catalogue))
            QSKIP("Qt's German catalogue is not installed (qt6-translations-l10n)");
        const auto [found, owner] = run("dpkg-query", {"-S", catalogue});
        QCOMPARE(found, 0);
        const QString package = owner.section(u':', 0, 0).trimmed();

        QFile control(PELMORA_SOURCE_DIR "/debian/control");
        QVERIFY(control.open(QIODevice::ReadOnly | QIODevice::Text));
        const QString stanza =
            QString::fromUtf8(control.readAll()).section("\nPackage: pelmora\n", 1).section("\n\n", 0, 0);
        const auto field = QRegularExpression(R"(\nRecommends:((?:.|\n )*))").match(stanza);
        QStringList recommends;
        for (const QString &alternatives : field.captured(1).split(u','))
            for (const QString &name : alternatives.split(u'|'))
                recommends << name.section(u'(', 0, 0).trimmed();
        QVERIFY2(recommends.contains(package), qPrintable(package + " not in: " + recommends.join(", ")));

        QTranslator qt;
        QVERIFY(qt.load(catalogue));
        const QString german = qt.translate("QCommandLineParser", "Displays help on commandline options.");
        QVERIFY(!german.isEmpty());
        QProcessEnvironment env = environmentWithoutDisplay();
        for (const char *name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES"})
            env.remove(name);
        env.insert("LANG", "de_DE.UTF-8");
        const auto [helped, help] = runProgram(installed("bin/pelmora"), {"--help"}, env);
        QCOMPARE(helped, 0);
        QVERIFY2(help.contains(german), qPrintable(help));
    }

    void manPageOptionsMatchHelp()
    {
        const auto [unzipped, page] = run("gzip", {"-dc", installed("share/man/man1/pelmora.1.gz")});
        QCOMPARE(unzipped, 0);
        const auto [helped, help] = run(installed("bin/pelmora"), {"--help"});
        QCOMPARE(helped, 0);
        const QStringList options = helpOptions(help);
        QVERIFY(options.size() >= 7);
        QCOMPARE(withoutQtWording(manOptions(page)), withoutQtWording(options));
    }
};

QTEST_GUILESS_MAIN(TestInstallation)
#include "tst_installation.moc"
