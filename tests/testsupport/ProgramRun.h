// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// The system environment without a display, so that programs run from it find none.
QProcessEnvironment environmentWithoutDisplay();

// A program run to its end: its exit code (-1 when it did not start or end
// normally within the timeout) and what it printed, standard output first.
struct ProgramRun {
    int exitCode = -1;
    QString output;
};
ProgramRun runProgram(const QString &program, const QStringList &arguments,
                      const QProcessEnvironment &environment = environmentWithoutDisplay(), int timeoutMs = 30000);
