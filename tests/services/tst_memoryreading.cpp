#include "platform/SystemInfo.h"
#include "services/MemoryReading.h"
#include "services/SystemMetricsProvider.h"
#include "testsupport/FixtureTree.h"

#include <QTest>

using namespace pelmora;

namespace {

constexpr quint64 kPhysical = 8ull << 30;

QByteArray meminfo(const QByteArray &total, const QByteArray &available)
{
    return "MemTotal:       " + total + "\nMemFree:          123456 kB\nMemAvailable:   " + available
        + "\nBuffers:           1024 kB\nHugePages_Total:       0\n";
}

} // namespace

class TestMemoryReading : public QObject {
    Q_OBJECT
private slots:
    // /proc/meminfo text -> what the store receives (0 used of kPhysical when unreadable).
    void reading_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<quint64>("used");
        QTest::addColumn<quint64>("total");

        QTest::newRow("typical") << meminfo("16000000 kB", "4000000 kB") << quint64(12000000) * 1024
                                 << quint64(16000000) * 1024;
        QTest::newRow("available above total") << meminfo("1000 kB", "2000 kB") << quint64(0) << quint64(1000 * 1024);
        QTest::newRow("available first, no spaces")
            << QByteArray("MemAvailable:1 kB\nMemTotal:3 kB") << quint64(2048) << quint64(3072);
        QTest::newRow("no MemAvailable (before 3.14)")
            << QByteArray("MemTotal: 1000 kB\nMemFree: 10 kB\n") << quint64(0) << kPhysical;
        QTest::newRow("no MemTotal") << QByteArray("MemAvailable: 10 kB\n") << quint64(0) << kPhysical;
        QTest::newRow("MemTotal zero") << meminfo("0 kB", "0 kB") << quint64(0) << kPhysical;
        QTest::newRow("cut inside MemAvailable") << QByteArray("MemTotal: 1000 kB\nMemAvail") << quint64(0)
                                                 << kPhysical;
        QTest::newRow("value without unit") << meminfo("1000", "10 kB") << quint64(0) << kPhysical;
        QTest::newRow("other unit") << meminfo("1000 MB", "10 kB") << quint64(0) << kPhysical;
        QTest::newRow("junk number") << meminfo("1O00 kB", "10 kB") << quint64(0) << kPhysical;
        QTest::newRow("negative") << meminfo("1000 kB", "-10 kB") << quint64(0) << kPhysical;
        QTest::newRow("bytes beyond 64 bits") << meminfo("18014398509481984 kB", "0 kB") << quint64(0)
                                              << kPhysical;
    }
    void reading()
    {
        QFETCH(QByteArray, text);
        const auto fields = parseMemInfo(std::string_view(text.constData(), size_t(text.size())));
        const MemoryInfo info = memoryInfoFrom(fields, kPhysical);
        QTEST(info.usedBytes, "used");
        QTEST(info.totalBytes, "total");
    }

    void providerReadsItsRoot()
    {
        FixtureTree proc;
        const SystemMetricsProvider provider(proc.path().toStdString());
        proc.write("meminfo", meminfo("2000 kB", "500 kB"));
        QCOMPARE(provider.readMemory(), (MemoryInfo{1500 * 1024, 2000 * 1024}));

        proc.remove("meminfo");
        QCOMPARE(provider.readMemory(), (MemoryInfo{0, platform::physicalMemoryBytes()}));
    }

    void realSystemTotalIsPhysicalMemory()
    {
        const MemoryInfo info = SystemMetricsProvider().readMemory();
        QVERIFY(info.usedBytes > 0);
        QVERIFY(info.usedBytes <= info.totalBytes);
        // sysconf derives the physical pages from the same counter as MemTotal.
        QCOMPARE(info.totalBytes, platform::physicalMemoryBytes());
    }
};

QTEST_APPLESS_MAIN(TestMemoryReading)
#include "tst_memoryreading.moc"
