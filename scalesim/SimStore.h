#pragma once
// What one simulated scale holds: departments, main groups and PLU records,
// kept in memory and in an append-only journal file so that they survive a
// restart. A change is appended whole (one write) before it is applied, so
// a failed write changes nothing. `scalesim edit` appends to the journal of
// a running scale; the scale reads what others appended before each
// session.
//
// Journal entry: op u8, a u32, b u32, length u32, bytes, CRC-32 u32 of the
// entry before it. Ops: P put PLU (a PLU, b main group, bytes record),
// p delete PLU, X delete all PLUs, D put department (a, name), d empty the
// departments, M put main group (a, b department, name), m empty the main
// groups. A torn or damaged tail is ignored.

#include "comm/Protocol.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <map>

namespace scalesim {

struct StoredPlu {
    quint32 mg = 0;
    QByteArray record;
    QByteArray digest; // empty until asked for
};

class SimStore {
public:
    explicit SimStore(QString journalPath) : m_path(std::move(journalPath)) {}

    // Reads the journal from the start; a missing one is an empty scale.
    bool load(QString *error);
    // Applies what was appended by others since this store last read or
    // wrote the journal.
    bool refresh(QString *error);

    bool putNamed(bool mainGroups, const QVector<korvo::proto::NamedEntry> &entries, bool replace, QString *error);
    bool putPlus(const QVector<korvo::proto::PluEntry> &entries, QString *error);
    bool deletePlus(const QVector<quint32> &plus, quint32 &deleted, QString *error);
    bool deleteAll(quint32 &deleted, QString *error);

    const std::map<quint32, StoredPlu> &plus() const { return m_plus; }
    // The digest of a PLU held (computed once).
    const QByteArray &digest(quint32 plu);
    const QMap<quint32, QByteArray> &departments() const { return m_depts; }
    const QMap<quint32, QPair<quint32, QByteArray>> &mainGroups() const { return m_mgs; }

private:
    bool append(const QByteArray &entries, QString *error);
    void replay(const QByteArray &bytes, qsizetype &used);
    void compactIfLarge();
    static void entry(QByteArray &out, char op, quint32 a, quint32 b, QByteArrayView bytes);

    QString m_path;
    qint64 m_known = 0; // journal bytes read or written by this store
    qint64 m_live = 0;  // bytes the current content needs
    std::map<quint32, StoredPlu> m_plus;
    QMap<quint32, QByteArray> m_depts;
    QMap<quint32, QPair<quint32, QByteArray>> m_mgs;
};

} // namespace scalesim
