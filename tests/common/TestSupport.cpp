#include "common/TestSupport.h"

#include "core/Database.h"
#include "core/Settings.h"
#include "startup/DataRoot.h"
#include "startup/Startup.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStandardPaths>
#include <QThread>

#include <sys/stat.h>

namespace korvo::test {

MsgResult ScriptedUi::message(const QString &text, const QString &title, MsgIcon icon,
                              MsgButtons buttons, MsgResult defaultButton)
{
    messages.push_back({text, title, icon, buttons, defaultButton});
    if (answers.empty())
        return defaultButton;
    MsgResult r = answers.front();
    answers.pop_front();
    return r;
}

QString ScriptedUi::openFileName(const QString &, const QString &)
{
    return fileAnswers.isEmpty() ? QString() : fileAnswers.takeFirst();
}

QString ScriptedUi::saveFileName(const QString &title, const QString &filter, const QString &)
{
    return openFileName(title, filter);
}

ScaleChoice ScriptedUi::chooseScales(int deptId, bool)
{
    scaleDepts << deptId;
    ScaleChoice c;
    c.addresses = scaleAnswers.isEmpty() ? QStringList() : scaleAnswers.takeFirst();
    c.cancelled = c.addresses.isEmpty();
    return c;
}

void ScriptedUi::progressBegin(const QString &, int) { progressSteps = 0; }
void ScriptedUi::progressStep(int, const QString &) { ++progressSteps; }

TestDataRoot::TestDataRoot(bool demoRows)
{
    IsolateUserSettings();
    if (!m_dir.isValid()) {
        m_error = QStringLiteral("no temporary folder");
        return;
    }
    DataRootOptions opts;
    opts.demoRows = demoRows;
    m_ok = CreateDataRoot(path(), opts, &m_error);
}

TestDataRoot::~TestDataRoot() = default;

QString TestDataRoot::path() const { return m_dir.path() + QLatin1Char('/'); }

std::unique_ptr<AppState> TestDataRoot::newState()
{
    auto s = std::make_unique<AppState>(&ui);
    s->setPaths(QString(), path());
    return s;
}

std::unique_ptr<AppState> TestDataRoot::loadedState(const QString &userName)
{
    auto s = newState();
    s->userName = userName;
    if (!LoadSettings(*s))
        return nullptr;
    return s;
}

void IsolateUserSettings()
{
    static QTemporaryDir *dir = nullptr; // one per test process, lives to its end
    if (!dir) {
        dir = new QTemporaryDir;
        qputenv("XDG_CONFIG_HOME", dir->path().toUtf8());
        QStandardPaths::setTestModeEnabled(true);
    }
}

QByteArray FileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool WriteFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QString SqlScalar(AppState &state, const QString &sql)
{
    auto q = QueryKorvoDB(state, sql);
    if (!q || !q->next())
        return QStringLiteral("<none>");
    return q->value(0).isNull() ? QStringLiteral("<null>") : q->value(0).toString();
}

int SqlCount(AppState &state, const QString &from)
{
    return SqlScalar(state, QStringLiteral("select count(*) from ") + from).toInt();
}

QStringList SqlColumn(AppState &state, const QString &sql)
{
    QStringList out;
    auto q = QueryKorvoDB(state, sql);
    if (!q)
        return {QStringLiteral("<failed>")};
    while (q->next())
        out << q->value(0).toString();
    return out;
}

int FileMode(const QString &path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

ProgramRun RunKorvoctl(const QStringList &args, const QByteArray &input, int killAfterMs)
{
    QProcess p;
    p.start(QCoreApplication::applicationDirPath() + QStringLiteral("/../src/korvoctl"), args);
    ProgramRun r;
    if (!p.waitForStarted(30000))
        return r;
    p.write(input);
    p.closeWriteChannel();
    if (killAfterMs >= 0) {
        QThread::msleep(killAfterMs);
        p.kill();
    }
    if (!p.waitForFinished(120000))
        return r;
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

bool SqlExec(const QString &connection, const QString &sql, const QVariantList &values)
{
    QSqlQuery q(QSqlDatabase::database(connection, false));
    bool ok = q.prepare(sql);
    for (const QVariant &v : values)
        q.addBindValue(v);
    ok = ok && q.exec();
    if (!ok)
        qWarning() << sql << q.lastError().text();
    return ok;
}

bool ReceiveFromPlu(AppState &state, const QString &address, const QString &copyWhere)
{
    QStringList columns;
    const QSqlRecord rc = QSqlDatabase::database(state.connMain).record(QStringLiteral("RC_PLU"));
    for (int i = 0; i < rc.count(); ++i) {
        if (rc.fieldName(i) != QLatin1String("SC_IP") && rc.fieldName(i) != QLatin1String("PLU_Compare"))
            columns << rc.fieldName(i);
    }
    return SqlExec(state, QStringLiteral("insert into RC_PLU(SC_IP,%1) select '%2',%1 from PLU where %3")
                              .arg(columns.join(u','), address, copyWhere));
}

int BarcodeFormatIndex(const AppState &state, int code, const QString &type)
{
    const auto &list = state.enc.barcodeList;
    for (int i = 0; i < list.size(); ++i) {
        if (list[i].BAR_Code == code && list[i].BAR_Type == type)
            return i;
    }
    return -1;
}

QStringList OptionValues(const Settings &s)
{
    return {QStringLiteral("UseMainGroup=%1").arg(int(s.UseMainGroup)),
            QStringLiteral("PLUPageSize=%1").arg(s.PLUPageSize),
            QStringLiteral("WeightDecimalPlace=%1").arg(s.WeightDecimalPlace),
            QStringLiteral("PriceDecimalPlace=%1").arg(s.PriceDecimalPlace),
            QStringLiteral("DefaultFont=%1").arg(s.DefaultFont),
            QStringLiteral("DoLog=%1").arg(int(s.DoLog)),
            QStringLiteral("SetLanguageCodepage=%1").arg(s.SetLanguageCodepage),
            QStringLiteral("LangeCodepageToConvert=%1").arg(s.LangeCodepageToConvert),
            QStringLiteral("SetImportType=%1").arg(s.SetImportType)};
}

} // namespace korvo::test
