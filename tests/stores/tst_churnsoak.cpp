// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The real store on the real /proc, refreshing every 50 ms while a helper keeps
// starting and ending processes (some exit mid-read, some rename themselves).
// 2,000 refreshes under AddressSanitizer, else 300; PELMORA_SOAK_REFRESHES overrides.
#include "services/ProcProcessSource.h"
#include "stores/MetricsStore.h"

#include "testsupport/FixtureTree.h"
#include "testsupport/ResidentMemory.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>

#include <csignal>

using namespace pelmora;
using namespace std::chrono_literals;
using namespace Qt::StringLiterals;

#if defined(__SANITIZE_ADDRESS__)
#define PELMORA_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PELMORA_ASAN 1
#endif
#endif

#ifdef PELMORA_ASAN
extern "C" size_t __sanitizer_get_current_allocated_bytes();
// Freed blocks sit in ASan's quarantine, so count live bytes rather than VmRSS.
static qint64 memoryInUseKiB()
{
    return qint64(__sanitizer_get_current_allocated_bytes() / 1024);
}
static constexpr int defaultRefreshes = 2000;
#else
static qint64 memoryInUseKiB()
{
    return residentKiB();
}
static constexpr int defaultRefreshes = 300;
#endif

static qsizetype openDescriptors()
{
    return QDir("/proc/self/fd").entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System).size();
}

static qsizetype livePids()
{
    const QStringList names = QDir("/proc").entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    return std::count_if(names.cbegin(), names.cend(), [](const QString &n) { return n.front().isDigit(); });
}

class TestChurnSoak : public QObject {
    Q_OBJECT
private slots:
    void survivesChurnWithoutGrowing()
    {
        FixtureTree data; // the helper's desktop entry makes it an application
        data.write("applications/org.pelmora.Churn.desktop", desktopEntry("Churn", "pelmora_churn"));
        qputenv("XDG_DATA_HOME", QFile::encodeName(data.path()));
        qputenv("XDG_DATA_DIRS", QFile::encodeName(data.path()));
        const int asked = qEnvironmentVariableIntValue("PELMORA_SOAK_REFRESHES");
        const int refreshes = asked > 0 ? asked : defaultRefreshes;
        const int warmUp = std::min(200, refreshes / 4);

        QProcess churn;
        churn.start(QStringLiteral(PELMORA_BINARY_DIR "/tests/helpers/pelmora_churn"), {"--alive", "24"});
        QVERIFY(churn.waitForStarted(5000) && churn.waitForReadyRead(5000));
        MetricsStore store({SystemMetricsProvider(), ProcessMetricsProvider(), [] { return WallClock::now(); }, 50ms});
        // The store keeps its process source to itself: one of the kind reads alongside it.
        ProcProcessSource source;
        const auto anyApp = [](const ProcessFacts &, std::string_view) { return std::optional<QString>(u"App"_s); };

        int done = 0;
        qsizetype fdsAfterWarmUp = -1, cacheOverLive = 0;
        qint64 memoryAfterWarmUp = -1;
        bool sawChurn = false;
        connect(&store, &MetricsStore::snapshotChanged, this, [&] {
            const qsizetype liveBefore = livePids();
            source.read(anyApp, 0);
            const auto cached = qsizetype(source.cachedProcessCount());
            cacheOverLive = std::max(cacheOverLive, cached - std::max(liveBefore, livePids()));
            for (const AppMetric &app : store.snapshot().allApps)
                sawChurn = sawChurn || app.name == u"Churn";
            if (++done == warmUp) {
                fdsAfterWarmUp = openDescriptors();
                memoryAfterWarmUp = memoryInUseKiB();
            }
        });
        QTRY_VERIFY_WITH_TIMEOUT(done >= refreshes, refreshes * 500);
        const qsizetype fdsAtEnd = openDescriptors();
        const qint64 memoryAtEnd = memoryInUseKiB();
        const qint64 grownKiB = memoryAtEnd - memoryAfterWarmUp;
        qInfo("%d refreshes; after %d: %lld descriptors, %lld KiB; at the end: %lld descriptors, %lld KiB; "
              "cache over live pids at most %lld",
              done, warmUp, qlonglong(fdsAfterWarmUp), memoryAfterWarmUp, qlonglong(fdsAtEnd), memoryAtEnd,
              qlonglong(cacheOverLive));
        ::kill(pid_t(churn.processId()), SIGTERM);
        QVERIFY(churn.waitForFinished(10000));

        QVERIFY(sawChurn);
        QCOMPARE(fdsAtEnd, fdsAfterWarmUp);
        QVERIFY2(grownKiB < 1024, qPrintable(QStringLiteral("memory grew by %1 KiB").arg(grownKiB)));
        // The cache holds only processes alive during a pass, plus a few born and gone within one.
        QVERIFY2(cacheOverLive <= 24, qPrintable(QStringLiteral("cache exceeded live pids by %1").arg(cacheOverLive)));
    }
};

QTEST_GUILESS_MAIN(TestChurnSoak)
#include "tst_churnsoak.moc"
