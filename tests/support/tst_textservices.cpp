#include "support/TextServices.h"

#include <QLocale>
#include <QTest>

#include <algorithm>

using namespace pelmora;

// The shared collator is built once per process with the locale in force then;
// this process runs under the C locale (as the test environment sets), which
// is exactly the case where numeric ordering needs a substitute locale.
class TestTextServices : public QObject {
    Q_OBJECT
private slots:
    void namesOrderCaseInsensitivelyWithNumbersByValue()
    {
        QStringList names{"Zed", "éclair", "App 10", "beta", "app 1", "App 2", "Alpha"};
        std::stable_sort(names.begin(), names.end(),
                         [](const QString &a, const QString &b) { return localizedStandardCompare(a, b) < 0; });
        QCOMPARE(names, (QStringList{"Alpha", "app 1", "App 2", "App 10", "beta", "éclair", "Zed"}));
        QCOMPARE(localizedStandardCompare(u"Mail", u"mail"), 0);
        QVERIFY(localizedStandardCompare(u"file9", u"file10") < 0);
    }

    void containmentIgnoresCase()
    {
        QVERIFY(localizedCaseInsensitiveContains(u"Visual Studio Code", u"studio"));
        QVERIFY(localizedCaseInsensitiveContains(u"ÉCLAIR", u"écl"));
        QVERIFY(!localizedCaseInsensitiveContains(u"Firefox", u"fox fire"));
        QVERIFY(localizedCaseInsensitiveContains(u"Firefox", u""));
    }

    void lowercaseFollowsTheLocale()
    {
        QCOMPARE(localizedLowercase(QStringLiteral("Mail APP")), QStringLiteral("mail app"));
        QLocale::setDefault(QLocale(QLocale::Turkish, QLocale::Turkey));
        QCOMPARE(localizedLowercase(QStringLiteral("I")), QStringLiteral("ı"));
        QLocale::setDefault(QLocale::c());
    }
};

QTEST_GUILESS_MAIN(TestTextServices)
#include "tst_textservices.moc"
