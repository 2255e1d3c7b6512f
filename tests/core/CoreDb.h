#pragma once
// Small self-made data roots for the core tests: the three database files
// with just the tables these tests touch, so the core tests do not depend on
// the installation data.

#include "core/PluFields.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

namespace korvo::test {

inline bool execAll(const QString &dbPath, const QStringList &statements, QString *error)
{
    const QString conn = QStringLiteral("core-test-setup");
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), conn);
        db.setDatabaseName(dbPath);
        ok = db.open();
        if (!ok && error)
            *error = db.lastError().text();
        if (ok) {
            QSqlQuery q(db);
            for (const QString &s : statements) {
                if (!q.exec(s)) {
                    if (error)
                        *error = s + QStringLiteral(": ") + q.lastError().text();
                    ok = false;
                    break;
                }
            }
            q.finish();
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(conn);
    return ok;
}

// Column definitions of the 76 PLU fields: PLU_UPrice and PLU_Cost hold
// decimals, other numbers are whole, texts compare without case.
inline QString pluColumns(bool primaryKey)
{
    const PluFieldTable table;
    QStringList cols;
    for (int i = 0; i < kPluFieldCount; ++i) {
        const QString name = QString::fromLatin1(PluFieldTable::kNames[i]);
        const ValueKind kind = table.at(i).Kind;
        QString type = kind == ValueKind::Text   ? QStringLiteral("TEXT COLLATE NOCASE")
                     : kind == ValueKind::DateTime ? QStringLiteral("TEXT")
                     : name == QLatin1String("PLU_UPrice") || name == QLatin1String("PLU_Cost") ? QStringLiteral("REAL")
                                                                                                : QStringLiteral("INTEGER");
        if (i == 0 && primaryKey)
            type += QStringLiteral(" PRIMARY KEY");
        cols << name + QLatin1Char(' ') + type;
    }
    return cols.join(QStringLiteral(", "));
}

// root ends in "/". Creates Bin/, Database/ with the three files and a
// settings file with the keys start-up needs.
inline bool createCoreDataRoot(const QString &root, QString *error)
{
    if (!QDir().mkpath(root + QStringLiteral("Bin")) || !QDir().mkpath(root + QStringLiteral("Database")))
        return false;
    const QString db = root + QStringLiteral("Database/");
    if (!execAll(db + QStringLiteral("language.db"),
                 {QStringLiteral("create table tbl_LANGUAGE (ID INTEGER, E_NAME TEXT COLLATE NOCASE,"
                                 " Caption TEXT COLLATE NOCASE, English TEXT, Chinese TEXT, Other TEXT)")},
                 error))
        return false;
    if (!execAll(db + QStringLiteral("Users.db"),
                 {QStringLiteral("create table Users (UserName TEXT COLLATE NOCASE, type TEXT)")},
                 error))
        return false;
    const QStringList mainSchema = {
        QStringLiteral("create table PLU (") + pluColumns(true)
            + QStringLiteral(", Stat1_Unit INTEGER, ZentBinData TEXT)"),
        QStringLiteral("create table RC_PLU (SC_IP TEXT, ") + pluColumns(false)
            + QStringLiteral(", ZentBinData TEXT, PLU_Compare INTEGER)"),
        QStringLiteral("create table DEPT (DP_No INTEGER, DP_Name TEXT COLLATE NOCASE, ST_No INTEGER)"),
        QStringLiteral("create table MG (MG_No INTEGER, DP_No INTEGER, MG_Name TEXT COLLATE NOCASE)"),
    };
    if (!execAll(db + QStringLiteral("KORVO2005.db"), mainSchema, error))
        return false;
    QFile ini(root + QStringLiteral("Korvo2005.INI"));
    if (!ini.open(QIODevice::WriteOnly))
        return false;
    ini.write("[Setting]\r\nLanguage=English\r\nPLUPageSize=10\r\n[ZentTCP]\r\nDoLog=False\r\n");
    return true;
}

} // namespace korvo::test
