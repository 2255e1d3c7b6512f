// The tool configuration dialog, the Tools menu it rebuilds, what the
// menu's entries launch, and the about box.

#include "ui/UiTestSupport.h"

#include "core/IniFile.h"
#include "tools/Tools.h"
#include "ui/AboutDialog.h"
#include "ui/Commands.h"
#include "ui/ToolConfigDialog.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include <sqlite3.h>

using namespace korvo;
using namespace korvo::test;

namespace {

struct RecordingLauncher : ToolLauncher {
    bool start(const QString &program, const QStringList &arguments, const QString &workingDir) override
    {
        calls << QStringList{"start", program, arguments.join('|'), workingDir}.join(' ');
        return true;
    }
    bool open(const QString &path) override
    {
        calls << "open " + path;
        return true;
    }
    QStringList calls;
};

QStringList lines(const QListWidget *list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

// Insert, Replace, Delete, Up, Down as "1" enabled, "0" disabled.
QString buttons(const ToolConfigDialog *d)
{
    QString s;
    for (const QPushButton *b : {d->cmdInsert, d->cmdReplace, d->cmdDelete, d->cmdUp, d->cmdDown})
        s += b->isEnabled() ? '1' : '0';
    return s;
}

void clickLine(ToolConfigDialog *d, int row, bool twice = false)
{
    const QPoint at = d->lstToolbar->visualItemRect(d->lstToolbar->item(row)).center();
    QTest::mouseClick(d->lstToolbar->viewport(), Qt::LeftButton, {}, at);
    if (twice)
        QTest::mouseDClick(d->lstToolbar->viewport(), Qt::LeftButton, {}, at);
}

void writeTool(const QString &ini, int position, const QString &name, const QString &cmdLine,
               const QString &parameters = {})
{
    const QString section = "Tools-" + QString::number(position);
    WriteIniString(section, "MenuItemName", name, ini);
    WriteIniString(section, "CmdLine", cmdLine, ini);
    WriteIniString(section, "Parameters", parameters, ini);
}

} // namespace

class TestTools : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TestDataRoot> m_root;

private slots:
    void init()
    {
        m_root = std::make_unique<TestDataRoot>();
        QVERIFY2(m_root->ok(), qPrintable(m_root->error()));
    }

    void configurationButtonsAndOk()
    {
        const QString ini = m_root->iniPath();
        WriteIniString("Setting", "ToolsCount", "3", ini);
        for (int i = 1; i <= 3; ++i)
            writeTool(ini, i, QString(QChar('A' + i - 1)), "/opt/" + QString::number(i));
        Session s(*m_root);
        QVERIFY(s.ok());

        OnModal<ToolConfigDialog>([](ToolConfigDialog *d) {
            const struct {
                const char *what;
                std::function<void()> act;
                QStringList lines;
                int selected;
                const char *buttons;
            } steps[] = {
                {"loaded", [] {}, {"A", "B", "C"}, -1, "00000"},
                {"first line", [d] { clickLine(d, 0); }, {"A", "B", "C"}, 0, "00101"},
                {"name only", [d] { TypeInto(d->txtMenuItemName, "N"); }, {"A", "B", "C"}, 0, "00101"},
                {"blank command", [d] { TypeInto(d->txtCmdLine, "  "); }, {"A", "B", "C"}, 0, "00101"},
                {"command too", [d] { TypeInto(d->txtCmdLine, "/opt/n"); }, {"A", "B", "C"}, 0, "11101"},
                {"insert before", [d] { d->cmdInsert->click(); }, {"N", "A", "B", "C"}, 0, "11101"},
                {"last line", [d] { clickLine(d, 3); }, {"N", "A", "B", "C"}, 3, "11110"},
                {"up", [d] { d->cmdUp->click(); }, {"N", "A", "C", "B"}, 2, "11111"},
                {"down", [d] { d->cmdDown->click(); }, {"N", "A", "B", "C"}, 3, "11110"},
                {"replace", [d] { TypeInto(d->txtMenuItemName, "Z"); d->cmdReplace->click(); },
                 {"N", "A", "B", "Z"}, 3, "11110"},
                {"double-click shows", [d] { clickLine(d, 1, true); }, {"N", "A", "B", "Z"}, 1, "11111"},
                {"delete", [d] { d->cmdDelete->click(); }, {"N", "B", "Z"}, -1, "10000"},
                {"no name", [d] { TypeInto(d->txtMenuItemName, ""); d->cmdInsert->click(); },
                 {"N", "B", "Z"}, -1, "00000"},
            };
            for (const auto &step : steps) {
                step.act();
                QCOMPARE(lines(d->lstToolbar), step.lines);
                const QList<QListWidgetItem *> shown = d->lstToolbar->selectedItems();
                const int shownRow = shown.isEmpty() ? -1 : d->lstToolbar->row(shown.first());
                QVERIFY2(d->tools().selected() == step.selected && shownRow == step.selected, step.what);
                QCOMPARE(buttons(d), QString::fromLatin1(step.buttons));
            }
            QCOMPARE(d->txtCmdLine->text(), QStringLiteral("/opt/1")); // A's, from the double-click
            d->cmdOK->click();
        });
        s.window->dispatch(cmd::ToolConfig);
        QCOMPARE(ReadIniString("Setting", "ToolsCount", ini), QStringLiteral("3"));
        QCOMPARE(ReadIniString("Tools-1", "CmdLine", ini), QStringLiteral("/opt/n"));
        QCOMPARE(ReadIniString("Tools-3", "MenuItemName", ini), QStringLiteral("Z"));
        QCOMPARE(MenuIds(s.window->menu(cmd::MenuTools)), (QList<int>{168, 169, 170}));
        QCOMPARE(s.window->command(170)->text(), QStringLiteral("Z"));

        // The last of three goes: the count drops, its section stays unread.
        OnModal<ToolConfigDialog>([](ToolConfigDialog *d) {
            clickLine(d, 2);
            d->cmdDelete->click();
            d->cmdOK->click();
        });
        s.window->dispatch(cmd::ToolConfig);
        QCOMPARE(ReadIniString("Setting", "ToolsCount", ini), QStringLiteral("2"));
        QCOMPARE(ReadIniString("Tools-3", "MenuItemName", ini), QStringLiteral("Z"));
        QCOMPARE(MenuIds(s.window->menu(cmd::MenuTools)), (QList<int>{168, 169}));

        // Cancel writes nothing.
        OnModal<ToolConfigDialog>([](ToolConfigDialog *d) {
            clickLine(d, 0);
            d->cmdDelete->click();
            d->cmdCancel->click();
        });
        s.window->dispatch(cmd::ToolConfig);
        QCOMPARE(ReadIniString("Setting", "ToolsCount", ini), QStringLiteral("2"));
    }

    void launches()
    {
        QTemporaryDir work;
        const QString program = work.filePath("prog");
        QVERIFY(WriteFile(program, "#!/bin/sh\n"));
        QFile(program).setPermissions(QFile(program).permissions() | QFileDevice::ExeOwner);
        QVERIFY(WriteFile(work.filePath("note.txt"), "x"));
        QVERIFY(WriteFile(work.filePath("full/a.txt"), "x"));
        QDir().mkpath(work.filePath("empty"));
        const QString ini = m_root->iniPath();
        const struct {
            const char *cmdLine;
            const char *parameters;
            QString expected; // "" : nothing happens
        } tools[] = {
            {"prog", "-a \"b c\"", "start " + program + " -a|b c " + work.path()},
            {"note.txt", "", "open " + work.filePath("note.txt")},
            {"full", "", "open " + work.filePath("full")},
            {"empty", "", ""},
            {"gone.txt", "", ""},
        };
        WriteIniString("Setting", "ToolsCount", QString::number(std::size(tools)), ini);
        for (int i = 0; i < int(std::size(tools)); ++i) {
            writeTool(ini, i + 1, tools[i].cmdLine, work.filePath(tools[i].cmdLine), tools[i].parameters);
            WriteIniString("Tools-" + QString::number(i + 1), "WorkingDir", work.path(), ini);
        }
        const QString backupTool = m_root->path() + "Bin/korvobackup";
        QVERIFY(WriteFile(backupTool, QByteArray()));

        Session s(*m_root, "bob"); // no administrator: no user management
        QVERIFY(s.ok());
        RecordingLauncher launcher;
        s.window->setToolLauncher(&launcher);
        QCOMPARE(MenuIds(s.window->menu(cmd::MenuTools)), (QList<int>{165, 0, 168, 169, 170, 171, 172}));
        QStringList expected;
        for (int i = 0; i < int(std::size(tools)); ++i) {
            s.window->command(168 + i)->trigger();
            if (!tools[i].expected.isEmpty())
                expected << tools[i].expected;
            QCOMPARE(launcher.calls, expected);
        }
        s.window->command(165)->trigger();
        expected << "start " + backupTool + " --data-root|" + m_root->path() + " " + m_root->path() + "Bin";
        QCOMPARE(launcher.calls, expected);
        QVERIFY(m_root->ui.messages.isEmpty());

        // A program gone since the menu was built says so.
        QFile::remove(backupTool);
        s.window->command(165)->trigger();
        QCOMPARE(launcher.calls, expected);
        QCOMPARE(m_root->ui.messages.size(), 1);
        QVERIFY2(m_root->ui.messages[0].text.contains(backupTool), qPrintable(m_root->ui.messages[0].text));
    }

};

QTEST_MAIN(TestTools)
#include "tst_tools.moc"
