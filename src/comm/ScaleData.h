#pragma once
// What the component reads from the database before it contacts a scale,
// and how it stores what it reads from one: the PLU records, departments
// and main groups to send, and the received PLUs in RC_PLU.

#include "comm/Protocol.h"

#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>

namespace korvo {

class AppState;
class RecordDecoder;

enum class PluScope { All, Plus, Departments };

struct PluSet {
    QVector<proto::PluEntry> entries; // PLUs with a usable record, by number
    QSet<quint32> inDatabase;         // every PLU of the scope the database holds
    QVector<quint32> missing;         // numbers asked for that the database does not hold
    QStringList unusable;             // PLUs of the scope without a usable record, with the reason
};

// The PLUs of a scope: all, the listed numbers, or those of the listed
// departments. False with *error after a database failure.
bool SelectPlus(AppState &state, PluScope scope, const QVector<qint64> &items, PluSet &out, QString *error);

// Every department (no, name) or main group (no, department, name), names in
// the scale's code page.
bool SelectNamed(AppState &state, bool mainGroups, QVector<proto::NamedEntry> &out, QString *error);

// The main groups of the listed departments.
bool MainGroupsOf(AppState &state, const QVector<qint64> &depts, QSet<quint32> &out, QString *error);

// Replaces the RC_PLU rows of one scale with what it sent, in one
// transaction: each record decoded field by field, stored with SC_IP and
// ZentBinData; PLU_Compare is 1 when the PC holds the PLU and the price (to
// the price decimals) or the used-by days differ. A record that cannot be
// decoded is stored with its number and bytes only and named in notes.
bool StoreReceived(AppState &state, const RecordDecoder &decoder, const QString &address,
                   const QVector<proto::PluEntry> &plus, QStringList &notes, QString *error);

} // namespace korvo
