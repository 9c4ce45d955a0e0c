// The real store on the real /proc, refreshing every 50 ms while a helper
// keeps starting and ending processes (some exit while they are being read,
// some rename themselves). Meant for the sanitizer build, where it runs 2,000
// refreshes; elsewhere 300 (PELMORA_SOAK_REFRESHES overrides both).
#include "stores/MetricsStore.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using namespace pelmora;
using namespace std::chrono_literals;

namespace {

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PELMORA_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define PELMORA_ASAN 1
#endif

#ifdef PELMORA_ASAN
extern "C" size_t __sanitizer_get_current_allocated_bytes();
constexpr int defaultRefreshes = 2000;
#else
constexpr int defaultRefreshes = 300;
#endif

const QString churnProgram = QStringLiteral(PELMORA_BINARY_DIR "/tests/helpers/pelmora_churn");

int openDescriptors()
{
    return int(QDir("/proc/self/fd").entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System).size());
}

// Memory in use. Under AddressSanitizer freed blocks sit in a quarantine of
// up to 256 MB, so the resident size says nothing there; the allocator's own
// count of live bytes does.
qint64 memoryInUseKiB()
{
#ifdef PELMORA_ASAN
    return qint64(__sanitizer_get_current_allocated_bytes() / 1024);
#else
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return -1;
#endif
}

qsizetype livePids()
{
    qsizetype n = 0;
    for (const QString &name : QDir("/proc").entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        n += name.front().isDigit() ? 1 : 0;
    return n;
}

} // namespace

class TestChurnSoak : public QObject {
    Q_OBJECT
private slots:
    void survivesChurnWithoutGrowing()
    {
        QTemporaryDir data;
        QDir(data.path()).mkpath("applications");
        QFile entry(data.filePath("applications/org.pelmora.Churn.desktop"));
        QVERIFY(entry.open(QIODevice::WriteOnly));
        entry.write("[Desktop Entry]\nType=Application\nName=Churn\nExec=pelmora_churn\n");
        entry.close();
        qputenv("XDG_DATA_HOME", QFile::encodeName(data.path()));
        qputenv("XDG_DATA_DIRS", QFile::encodeName(data.path()));

        bool ok = false;
        int refreshes = qEnvironmentVariableIntValue("PELMORA_SOAK_REFRESHES", &ok);
        if (!ok || refreshes <= 0)
            refreshes = defaultRefreshes;
        const int warmUp = std::min(200, refreshes / 4);

        QProcess churn;
        churn.start(churnProgram, {"--alive", "24"});
        QVERIFY(churn.waitForStarted(5000));
        QVERIFY(churn.waitForReadyRead(5000));

        MetricsStore::Options options{SystemMetricsProvider(), ProcessMetricsProvider(),
                                      [] { return WallClock::now(); }, 50ms};
        MetricsStore store(std::move(options));

        int done = 0;
        int fdsAfterWarmUp = -1;
        qint64 memoryAfterWarmUp = -1;
        qsizetype largestCache = 0;
        qsizetype cacheOverLive = 0;
        bool sawChurn = false;
        qsizetype liveBefore = livePids();
        connect(&store, &MetricsStore::snapshotChanged, this, [&] {
            ++done;
            const qsizetype liveAfter = livePids();
            const qsizetype cached = qsizetype(store.processProvider().cachedProcessCount());
            largestCache = std::max(largestCache, cached);
            // Every cached process was alive during the pass just made.
            cacheOverLive = std::max(cacheOverLive, cached - std::max(liveBefore, liveAfter));
            liveBefore = liveAfter;
            for (const AppMetric &app : store.snapshot().allApps)
                sawChurn = sawChurn || app.name == u"Churn";
            if (done == warmUp) {
                fdsAfterWarmUp = openDescriptors();
                memoryAfterWarmUp = memoryInUseKiB();
            }
        });

        QTRY_VERIFY_WITH_TIMEOUT(done >= refreshes, refreshes * 500);
        const int fdsAtEnd = openDescriptors();
        const qint64 memoryAtEnd = memoryInUseKiB();

        ::kill(pid_t(churn.processId()), SIGTERM);
        QVERIFY(churn.waitForFinished(10000));

        qInfo("refreshes %d, descriptors %d -> %d, memory in use %lld -> %lld KiB, largest cache %lld",
              done, fdsAfterWarmUp, fdsAtEnd, memoryAfterWarmUp, memoryAtEnd, qlonglong(largestCache));
        QVERIFY(sawChurn);
        QCOMPARE(fdsAtEnd, fdsAfterWarmUp);
        QVERIFY2(memoryAtEnd - memoryAfterWarmUp < 1024,
                 qPrintable(QStringLiteral("grew by %1 KiB").arg(memoryAtEnd - memoryAfterWarmUp)));
        // Processes born and gone within one pass may be cached without ever
        // being seen here; a few dozen churn children at most.
        QVERIFY2(cacheOverLive <= 24, qPrintable(QStringLiteral("cache exceeded live pids by %1").arg(cacheOverLive)));
    }
};

QTEST_GUILESS_MAIN(TestChurnSoak)
#include "tst_churnsoak.moc"
