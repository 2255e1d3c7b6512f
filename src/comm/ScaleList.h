#pragma once
// The scale list text handed to the scale communication component: one line
// per scale, each ended by CR LF: the address, ",", the scale number (2000
// plus the number after the address's last "."), then "," and an item for
// each PLU or department number, or no items.

#include <QString>
#include <QStringList>
#include <QVector>
#include <optional>

namespace korvo {

// One scale of a list. Lines naming the same address are merged: a scale
// is served once per call, with the items of all its lines.
struct ScaleTarget {
    QString address;       // as written (trimmed)
    quint32 ipv4 = 0;      // the address as a number
    quint32 scaleNo = 0;   // as the list gives it
    QVector<qint64> items; // in list order, each once
    QVector<int> lines;    // 1-based line numbers
};

struct ScaleListProblem {
    int line = 0;
    QString text;   // the line as written
    QString reason;
    QString describe() const;
};

struct ParsedScaleList {
    QVector<ScaleTarget> targets;
    QVector<ScaleListProblem> problems; // lines skipped, each with its reason
};

// A malformed line (no comma, an address that is not IPv4, a scale number or
// an item that is not a whole number, an address listed before with another
// scale number) is skipped and named; the other lines are read.
ParsedScaleList ParseScaleList(const QString &text);

// Four decimal numbers 0-255 joined by "."; leading zeros are decimal.
std::optional<quint32> ParseIPv4(const QString &text);

// 2000 plus the number after the last "." of the address.
quint32 ScaleNumberOf(const QString &address);

// One line of a list: address, scale number, the items; ends in CR LF.
QString ScaleListLine(const QString &address, const QVector<qint64> &items = {});

} // namespace korvo
