#include "SimStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSet>

using namespace korvo::proto;

namespace scalesim {

namespace {

constexpr qsizetype kEntryOverhead = 1 + 4 + 4 + 4 + 4;
constexpr qsizetype kMaxEntryBytes = 1 << 20;

quint32 be32(const char *p)
{
    return (quint32(quint8(p[0])) << 24) | (quint32(quint8(p[1])) << 16) | (quint32(quint8(p[2])) << 8)
        | quint32(quint8(p[3]));
}

} // namespace

void SimStore::entry(QByteArray &out, char op, quint32 a, quint32 b, QByteArrayView bytes)
{
    Writer w;
    w.u8(quint8(op)).u32(a).u32(b).u32(quint32(bytes.size())).bytes(bytes);
    w.u32(Crc32(w.data));
    out += w.data;
}

void SimStore::replay(const QByteArray &bytes, qsizetype &used)
{
    used = 0;
    const char *p = bytes.constData();
    while (bytes.size() - used >= kEntryOverhead) {
        const char *e = p + used;
        const quint32 len = be32(e + 9);
        if (len > kMaxEntryBytes || bytes.size() - used < kEntryOverhead + qsizetype(len))
            break;
        const qsizetype body = 13 + len;
        if (Crc32(QByteArrayView(e, body)) != be32(e + body))
            break;
        const quint32 a = be32(e + 1), b = be32(e + 5);
        const QByteArray data(e + 13, len);
        switch (e[0]) {
        case 'P': {
            auto it = m_plus.find(a);
            if (it != m_plus.end())
                m_live -= it->second.record.size() + kEntryOverhead;
            m_plus[a] = StoredPlu{b, data, {}}; // the digest when it is asked for
            m_live += data.size() + kEntryOverhead;
            break;
        }
        case 'p': {
            auto it = m_plus.find(a);
            if (it != m_plus.end()) {
                m_live -= it->second.record.size() + kEntryOverhead;
                m_plus.erase(it);
            }
            break;
        }
        case 'X':
            for (const auto &[no, plu] : m_plus)
                m_live -= plu.record.size() + kEntryOverhead;
            m_plus.clear();
            break;
        case 'D': m_depts.insert(a, data); break;
        case 'd': m_depts.clear(); break;
        case 'M': m_mgs.insert(a, {b, data}); break;
        case 'm': m_mgs.clear(); break;
        default: break; // an op of a later version: skipped
        }
        used += kEntryOverhead + len;
    }
}

bool SimStore::load(QString *error)
{
    m_plus.clear();
    m_depts.clear();
    m_mgs.clear();
    m_known = 0;
    m_live = 0;
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    return refresh(error);
}

bool SimStore::refresh(QString *error)
{
    QFile f(m_path);
    if (!f.exists())
        return true;
    if (f.size() < m_known) // rewritten by someone else: read it whole
        return load(error);
    if (f.size() == m_known)
        return true;
    if (!f.open(QIODevice::ReadOnly) || !f.seek(m_known)) {
        if (error)
            *error = f.errorString();
        return false;
    }
    const QByteArray tail = f.readAll();
    qsizetype used = 0;
    replay(tail, used);
    m_known += used;
    return true;
}

bool SimStore::append(const QByteArray &entries, QString *error)
{
    if (!refresh(error))
        return false;
    QFile f(m_path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Append) || f.write(entries) != entries.size() || !f.flush()) {
        if (error)
            *error = QStringLiteral("cannot write %1: %2").arg(m_path, f.errorString());
        return false;
    }
    const qint64 size = f.size();
    f.close();
    if (size == m_known + entries.size()) {
        // Nobody appended meanwhile: the entries are applied as written.
        qsizetype used = 0;
        replay(entries, used);
        m_known = size;
    } else if (!refresh(error)) { // read back with what others appended, in file order
        return false;
    }
    compactIfLarge();
    return true;
}

const QByteArray &SimStore::digest(quint32 plu)
{
    StoredPlu &p = m_plus.at(plu);
    if (p.digest.isEmpty())
        p.digest = RecordDigest(p.record);
    return p.digest;
}

void SimStore::compactIfLarge()
{
    if (m_known < 4 * 1024 * 1024 || m_known < 3 * m_live)
        return;
    QByteArray all;
    all.reserve(m_live + 1024);
    for (auto it = m_depts.cbegin(); it != m_depts.cend(); ++it)
        entry(all, 'D', it.key(), 0, it.value());
    for (auto it = m_mgs.cbegin(); it != m_mgs.cend(); ++it)
        entry(all, 'M', it.key(), it.value().first, it.value().second);
    for (const auto &[no, plu] : m_plus)
        entry(all, 'P', no, plu.mg, plu.record);
    QSaveFile f(m_path);
    if (f.open(QIODevice::WriteOnly) && f.write(all) == all.size() && f.commit())
        m_known = all.size();
}

bool SimStore::putNamed(bool mainGroups, const QVector<NamedEntry> &entries, bool replace, QString *error)
{
    QByteArray out;
    if (replace)
        entry(out, mainGroups ? 'm' : 'd', 0, 0, {});
    for (const NamedEntry &e : entries)
        entry(out, mainGroups ? 'M' : 'D', e.no, e.parent, e.name);
    return append(out, error);
}

bool SimStore::putPlus(const QVector<PluEntry> &entries, QString *error)
{
    QByteArray out;
    out.reserve(entries.size() * (kEntryOverhead + 160));
    for (const PluEntry &e : entries)
        entry(out, 'P', e.plu, e.mg, e.record);
    return append(out, error);
}

bool SimStore::deletePlus(const QVector<quint32> &plus, quint32 &deleted, QString *error)
{
    QByteArray out;
    QSet<quint32> seen;
    deleted = 0;
    for (quint32 no : plus) {
        if (seen.contains(no))
            continue;
        seen.insert(no);
        if (m_plus.count(no))
            ++deleted;
        entry(out, 'p', no, 0, {});
    }
    return append(out, error);
}

bool SimStore::deleteAll(quint32 &deleted, QString *error)
{
    deleted = quint32(m_plus.size());
    QByteArray out;
    entry(out, 'X', 0, 0, {});
    return append(out, error);
}

} // namespace scalesim
