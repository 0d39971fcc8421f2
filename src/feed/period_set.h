#pragma once

#include <QList>
#include <QString>

#include <optional>

namespace periodix::feed {

// The operator's period set as a companion knows it from the Period Script
// file the operator saved: each period's legend and length.
struct PeriodSet {
    struct Period {
        QString legend;
        std::optional<qint32> seconds; // none for "Ask me": typed in during the game
    };
    QList<Period> periods;

    // Period numbers count from 1, as in the datagrams; empty or none outside the set.
    QString legend(int period) const;
    std::optional<qint32> length(int period) const;
};

// Reads a Period Script file as the settings window does. On failure, error
// names the file and the line: "basketball.ptm, line 9: Input past end of file".
bool readPeriodSet(const QString &path, PeriodSet &set, QString &error);

} // namespace periodix::feed
