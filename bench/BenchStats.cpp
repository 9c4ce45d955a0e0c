// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "BenchStats.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <sys/resource.h>
#include <unistd.h>

namespace pelmora::bench {
namespace {

double seconds(const timespec &t)
{
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

double seconds(const timeval &t)
{
    return double(t.tv_sec) + double(t.tv_usec) / 1e6;
}

double cpuNow()
{
    timespec self{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &self);
    rusage children{};
    ::getrusage(RUSAGE_CHILDREN, &children);
    return seconds(self) + seconds(children.ru_utime) + seconds(children.ru_stime);
}

double wallNow()
{
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return seconds(now);
}

} // namespace

double Series::median() const
{
    if (m_values.empty())
        return NAN;
    std::vector<double> sorted = m_values;
    std::sort(sorted.begin(), sorted.end());
    const std::size_t n = sorted.size();
    return n % 2 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
}

double Series::min() const
{
    return m_values.empty() ? NAN : *std::min_element(m_values.begin(), m_values.end());
}

double Series::max() const
{
    return m_values.empty() ? NAN : *std::max_element(m_values.begin(), m_values.end());
}

Series ratios(const Series &numerator, const Series &denominator)
{
    Series out;
    const std::size_t n = std::min(numerator.size(), denominator.size());
    for (std::size_t i = 0; i < n; ++i)
        out.add(numerator.values()[i] / denominator.values()[i]);
    return out;
}

void Stopwatch::restart()
{
    m_wall = wallNow();
    m_cpu = cpuNow();
}

Cost Stopwatch::elapsed() const
{
    return {(wallNow() - m_wall) * 1e3, (cpuNow() - m_cpu) * 1e3};
}

std::string figure(double value)
{
    if (std::isnan(value))
        return "n/a";
    char text[32];
    const double magnitude = std::fabs(value);
    const int decimals = magnitude >= 100 ? 0 : magnitude >= 10 ? 1 : magnitude >= 1 ? 2 : magnitude >= 0.1 ? 3 : 4;
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string ratioText(const Series &ratio)
{
    return figure(ratio.median()) + "× (" + figure(ratio.min()) + "–" + figure(ratio.max()) + ")";
}

void printRow(const std::string &section, const std::string &what, const Series &values, const std::string &unit,
              const std::string &notes)
{
    const std::string u = unit.empty() ? std::string() : " " + unit;
    std::printf("| %s | %s | %zu | %s%s | %s%s | %s%s | %s |\n", section.c_str(), what.c_str(), values.size(),
                figure(values.median()).c_str(), u.c_str(), figure(values.min()).c_str(), u.c_str(),
                figure(values.max()).c_str(), u.c_str(), notes.c_str());
    std::fflush(stdout);
}

void printGoal(const std::string &goal, const std::string &measured, bool met)
{
    std::printf("GOAL| %s | %s | %s |\n", goal.c_str(), measured.c_str(), met ? "met" : "**not met**");
    std::fflush(stdout);
}

int liveProcessCount()
{
    int count = 0;
    if (DIR *dir = ::opendir("/proc")) {
        while (const dirent *entry = ::readdir(dir))
            count += entry->d_name[0] >= '1' && entry->d_name[0] <= '9';
        ::closedir(dir);
    }
    return count;
}

Footprint footprintOf(long pid)
{
    Footprint result;
    std::ifstream file("/proc/" + std::to_string(pid) + "/smaps_rollup");
    std::string line;
    while (std::getline(file, line)) {
        std::istringstream fields(line);
        std::string key;
        double kB = 0;
        if (!(fields >> key >> kB))
            continue;
        if (key == "Rss:")
            result.rssMB = kB / 1024.0;
        else if (key == "Pss:")
            result.pssMB = kB / 1024.0;
        else if (key == "Anonymous:")
            result.anonymousMB = kB / 1024.0;
    }
    return result;
}

double cpuSecondsOf(long pid)
{
    std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const std::size_t close = text.rfind(')');
    if (close == std::string::npos)
        return -1;
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    double utime = -1, stime = -1;
    // Field 3 (state) comes first; utime and stime are fields 14 and 15.
    for (int n = 3; n <= 15 && fields >> field; ++n) {
        if (n == 14)
            utime = std::stod(field);
        else if (n == 15)
            stime = std::stod(field);
    }
    if (utime < 0 || stime < 0)
        return -1;
    return (utime + stime) / double(::sysconf(_SC_CLK_TCK));
}

} // namespace pelmora::bench
