#pragma once

#include <QByteArray>

#include <cstdint>

// A /proc/PID/stat line as the kernel writes it (52 fields), with the fields
// the readers use set and the rest plausible.
struct StatFields {
    int pid = 1;
    QByteArray comm = "proc";
    char state = 'S';
    int ppid = 1;
    std::uint32_t flags = 0x00400000; // PF_RANDOMIZE, as most user processes
    std::uint64_t utime = 0;
    std::uint64_t stime = 0;
    std::uint64_t startTime = 0;
    QByteArray rss = "100"; // text, so tests can write what the kernel never would
};

inline QByteArray statLine(const StatFields &f)
{
    QByteArray line = QByteArray::number(f.pid) + " (" + f.comm + ") " + f.state + ' ' + QByteArray::number(f.ppid)
        + " 1 1 0 -1 " + QByteArray::number(f.flags) + " 120 0 0 0 " + QByteArray::number(f.utime) + ' '
        + QByteArray::number(f.stime) + " 0 0 20 0 1 0 " + QByteArray::number(f.startTime) + " 10485760 " + f.rss
        + " 18446744073709551615 1 1 0 0 0 0 0 0 0 0 0 0 17 0 0 0 0 0 0 0 0 0 0 0 0 0 0\n";
    return line;
}
