// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

// Dates `root` and every folder below it an hour back, so that a change a
// test makes right after moves the folder's stamp even within one tick of
// the kernel's coarse file clock.
void ageFolders(const QString &root);
