// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Samples, a stopwatch and the rows of the one table that bench/run prints.
// Every figure is reported as the median of its runs with their minimum and
// maximum; ratios are taken run by run, between measurements of the same
// round, so a noisy neighbour moves numerator and denominator together.
namespace pelmora::bench {

class Series {
public:
    void add(double value) { m_values.push_back(value); }
    std::size_t size() const { return m_values.size(); }
    bool empty() const { return m_values.empty(); }
    double median() const;
    double min() const;
    double max() const;
    const std::vector<double> &values() const { return m_values; }

private:
    std::vector<double> m_values;
};

// The run-by-run ratios a[i] / b[i] of two series measured in the same rounds.
Series ratios(const Series &numerator, const Series &denominator);

// Wall time, and CPU time of this process plus the children it reaped meanwhile.
struct Cost {
    double wallMs = 0;
    double cpuMs = 0;
};

class Stopwatch {
public:
    Stopwatch() { restart(); }
    void restart();
    Cost elapsed() const;

private:
    double m_wall = 0;
    double m_cpu = 0;
};

template<typename Work> Cost measure(Work &&work)
{
    Stopwatch watch;
    work();
    return watch.elapsed();
}

// A short text for a figure: three significant digits, no exponent.
std::string figure(double value);
// "1.32× (1.10–1.60)": median and range of a ratio series.
std::string ratioText(const Series &ratio);

// One table row: | section | what | runs | median | min | max | notes |.
void printRow(const std::string &section, const std::string &what, const Series &values, const std::string &unit,
              const std::string &notes = {});

// One row of the goals table: what is asked, what was measured, and whether it
// holds. bench/run gathers these lines (they start with "GOAL|") into a table
// of their own after the figures.
void printGoal(const std::string &goal, const std::string &measured, bool met);

// The number of /proc/PID folders right now.
int liveProcessCount();

// Reads "key:   value kB" lines of /proc/PID/smaps_rollup; -1 when missing.
struct Footprint {
    double rssMB = -1;
    double pssMB = -1;
    double anonymousMB = -1; // private heap and stacks: what a leak grows
};
Footprint footprintOf(long pid);

// utime + stime of /proc/PID/stat in seconds; -1 when unreadable.
double cpuSecondsOf(long pid);

} // namespace pelmora::bench
