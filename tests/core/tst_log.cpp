#include "common/TestSupport.h"
#include "core/AppState.h"
#include "core/ErrorReporter.h"
#include "core/Log.h"

#include <QDir>
#include <QFileInfo>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>

using namespace korvo;
using namespace korvo::test;

namespace {

QByteArray utf16le(const QString &s)
{
    QStringEncoder enc(QStringEncoder::Utf16LE);
    return enc(s);
}

QString logText(const QString &path)
{
    QStringDecoder dec(QStringDecoder::Utf16);
    return dec(FileBytes(path));
}

} // namespace

class TestLog : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    ScriptedUi m_ui;

    std::unique_ptr<AppState> newState(const QString &sub, bool withLogFolder = true)
    {
        auto s = std::make_unique<AppState>(&m_ui);
        s->setPaths(QString(), m_dir.filePath(sub));
        if (withLogFolder)
            QDir().mkpath(s->appPath + "log");
        s->now = [] { return QDateTime(QDate(2007, 5, 1), QTime(9, 30, 0)); };
        m_ui.messages.clear();
        return s;
    }

private slots:
    void logLinesAreUtf16WithOneBom()
    {
        auto s = newState("a");
        const QString file = LogFilePath(*s, QDate(2007, 5, 1));
        QCOMPARE(file, s->appPath + "log/Korvo2005_2007-05-01.log");
        WriteLog(*s, "'anna' logged in");
        QCOMPARE(FileBytes(file),
                 QByteArray("\xFF\xFE", 2) + utf16le("[2007-05-01 09:30:00]  'anna' logged in\r\n"));

        // Appending adds a line and no second byte order mark.
        s->now = [] { return QDateTime(QDate(2007, 5, 1), QTime(23, 59, 58)); };
        WriteLog(*s, QString::fromUtf8("价格 Ünïcode"));
        QCOMPARE(logText(file), QString::fromUtf8("[2007-05-01 09:30:00]  'anna' logged in\r\n"
                                                  "[2007-05-01 23:59:58]  价格 Ünïcode\r\n"));
        QCOMPARE(FileBytes(file).count(QByteArray("\xFF\xFE", 2)), 1);

        // The next day writes its own file.
        s->now = [] { return QDateTime(QDate(2007, 5, 2), QTime(0, 0, 1)); };
        WriteLog(*s, "next");
        QVERIFY(QFile::exists(s->appPath + "log/Korvo2005_2007-05-02.log"));
    }

    void logFailuresAreSilent()
    {
        // No log folder: nothing is created, nothing is shown.
        auto s = newState("b", false);
        WriteLog(*s, "lost");
        QVERIFY(!QFile::exists(s->appPath + "log"));
        QVERIFY(m_ui.messages.isEmpty());

        // The day's file cannot be opened (a folder stands in its place).
        auto t = newState("c");
        QVERIFY(QDir().mkpath(LogFilePath(*t, QDate(2007, 5, 1))));
        WriteLog(*t, "lost too");
        QVERIFY(QFileInfo(LogFilePath(*t, QDate(2007, 5, 1))).isDir());
        QVERIFY(m_ui.messages.isEmpty());
    }

    void reportErrorLogsShowsAndResets()
    {
        auto s = newState("d");
        s->errorSource = "BackupSettings ";
        ReportError(*s, "disk full");
        QCOMPARE(m_ui.messages.size(), 1);
        QCOMPARE(m_ui.messages[0].text, QString("disk full"));
        QCOMPARE(m_ui.messages[0].title, QString("BackupSettings "));
        QCOMPARE(m_ui.messages[0].icon, MsgIcon::Critical);
        QCOMPARE(s->errorSource, kDefaultErrorSource);
        QCOMPARE(s->reportedErrors.size(), 1);

        // Without a source of its own the default titles the box.
        ReportError(*s, "second");
        QCOMPARE(m_ui.messages[1].title, QString("Korvo 2005"));

        QCOMPARE(logText(LogFilePath(*s, QDate(2007, 5, 1))),
                 QString("[2007-05-01 09:30:00]  BackupSettings :    disk full\r\n"
                         "[2007-05-01 09:30:00]  Korvo 2005:    second\r\n"));

        // No user interface: still logged and recorded.
        AppState quiet;
        quiet.setPaths(QString(), m_dir.filePath("d"));
        quiet.now = s->now;
        quiet.errorSource = "X";
        ReportError(quiet, "no box");
        QCOMPARE(quiet.reportedErrors.size(), 1);
        QVERIFY(logText(LogFilePath(quiet, QDate(2007, 5, 1))).endsWith("X:    no box\r\n"));
    }

    void collectorGathersInsteadOfShowing()
    {
        auto s = newState("e");
        s->errorSource = "before";
        ReportError(*s, "shown");
        QCOMPARE(m_ui.messages.size(), 1);
        {
            ErrorCollector outer(*s);
            s->errorSource = "EncodePLU (1)";
            ReportError(*s, "first failure");
            {
                ErrorCollector inner(*s);
                s->errorSource = "EncodePLU (2)";
                ReportError(*s, "second failure");
                QCOMPARE(inner.count(), 1);
                QCOMPARE(inner.firstSource(), QString("EncodePLU (2)"));
            }
            QCOMPARE(outer.count(), 2);
            QCOMPARE(outer.firstSource(), QString("EncodePLU (1)"));
            QCOMPARE(outer.firstDescription(), QString("first failure"));
            QCOMPARE(m_ui.messages.size(), 1);
        }
        QCOMPARE(s->collectDepth, 0);
        ReportError(*s, "shown again");
        QCOMPARE(m_ui.messages.size(), 2);
        const QString log = logText(LogFilePath(*s, QDate(2007, 5, 1)));
        QCOMPARE(log.count("\r\n"), 4); // collected reports are logged all the same
        QVERIFY(log.contains("EncodePLU (2):    second failure"));
    }
};

QTEST_GUILESS_MAIN(TestLog)
#include "tst_log.moc"
