// Interface texts, item lists, the language setting, function permissions
// and the administrator check, over a real data root.

#include "common/TestSupport.h"
#include "core/AppState.h"
#include "core/Database.h"
#include "core/IniFile.h"
#include "i18n/Language.h"
#include "i18n/Permissions.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>

using namespace korvo;
using namespace korvo::test;

namespace {

const QString kOwner = QStringLiteral("frmI18nCheck");

// Runs a statement with bound values on a connection; fails the test on error.
bool exec(const QString &connection, const QString &sql, const QVariantList &values = {})
{
    QSqlQuery q(QSqlDatabase::database(connection, false));
    if (!q.prepare(sql)) {
        qWarning() << sql << q.lastError().text();
        return false;
    }
    for (const QVariant &v : values)
        q.addBindValue(v);
    if (!q.exec()) {
        qWarning() << sql << q.lastError().text();
        return false;
    }
    return true;
}

// The ID of a text row of this program, inserting the row when the
// delivered texts lack it.
qint32 languageRow(AppState &state, const QString &eName, const QString &caption,
                   const QVariant &english, const QVariant &chinese = {}, const QVariant &other = {})
{
    QSqlQuery q(QSqlDatabase::database(state.connLanguage, false));
    q.prepare(QStringLiteral("select ID from tbl_LANGUAGE where E_NAME=? and Caption=?"));
    q.addBindValue(eName);
    q.addBindValue(caption);
    if (q.exec() && q.next())
        return q.value(0).toInt();
    QSqlQuery m(QSqlDatabase::database(state.connLanguage, false));
    if (!m.exec(QStringLiteral("select coalesce(max(ID), 0) + 1 from tbl_LANGUAGE")) || !m.next())
        return -1;
    const qint32 id = m.value(0).toInt();
    if (!exec(state.connLanguage,
              QStringLiteral("insert into tbl_LANGUAGE (ID, E_NAME, Caption, English, Chinese, Other) "
                             "values (?, ?, ?, ?, ?, ?)"),
              {id, eName, caption, english, chinese, other}))
        return -1;
    return id;
}

// A state over the data root with the three databases open, nothing else.
std::unique_ptr<AppState> openState(TestDataRoot &root, const QString &language = QStringLiteral("English"))
{
    auto s = root.newState();
    s->settings.Language = language;
    if (!InitDBConnection(*s))
        return nullptr;
    return s;
}

void addTestTexts(AppState &state)
{
    languageRow(state, QStringLiteral("Korvo2005.EXE"), kOwner + QStringLiteral(".cmdOK"),
                QStringLiteral("OK"), QStringLiteral("确定"), QStringLiteral("ОК"));
    languageRow(state, QStringLiteral("Korvo2005.EXE"), kOwner + QStringLiteral(".lblNoText"), QVariant());
    languageRow(state, QStringLiteral("Korvo2005.EXE"), kOwner + QStringLiteral(".lblEmpty"), QString(""));
    languageRow(state, QStringLiteral("KORVO2005.exe"), kOwner + QStringLiteral(".lblOwnerCase"),
                QStringLiteral("Any case"));
    languageRow(state, QStringLiteral("LabelEditor.EXE"), kOwner + QStringLiteral(".lblForeign"),
                QStringLiteral("Not ours"));
    languageRow(state, QStringLiteral("Korvo2005.EXE"), kOwner + QStringLiteral(".combItems"),
                QStringLiteral("0: Central European\r\n  1: Cyrillic  \r\n\r\n \r\n2: Farsi\r\n"));
}

} // namespace

class TestLanguage : public QObject {
    Q_OBJECT

private slots:
    void textsFromTheCache();
    void missingTextReportedPerCall();
    void itemListsAndComboValues();
    void languageSwitchWritesSetting();
    void permissions();
    void permissionWithUnreadableDatabase();
    void administratorCheck();
};

void TestLanguage::textsFromTheCache()
{
    TestDataRoot root;
    QVERIFY2(root.ok(), qPrintable(root.error()));
    {
        auto state = openState(root);
        QVERIFY(state);
        addTestTexts(*state);

        // Loaded on first use.
        QVERIFY(!state->language.loaded);
        QCOMPARE(GetLangString(*state, kOwner, QStringLiteral("cmdOK")), QStringLiteral("OK"));
        QVERIFY(state->language.loaded);
        // Owner and key match without regard to case, and so does E_NAME.
        QCOMPARE(GetLangString(*state, kOwner.toUpper(), QStringLiteral("cmdok")), QStringLiteral("OK"));
        QCOMPARE(GetLangString(*state, kOwner, QStringLiteral("lblOwnerCase")), QStringLiteral("Any case"));
        // An empty text is a text.
        const QString empty = GetLangString(*state, kOwner, QStringLiteral("lblEmpty"));
        QVERIFY(empty.isEmpty() && !empty.isNull());
        QVERIFY(state->reportedErrors.isEmpty());
        QVERIFY(root.ui.messages.isEmpty());

        // Read once: a row deleted afterwards is still answered from memory.
        QVERIFY(exec(state->connLanguage, QStringLiteral("delete from tbl_LANGUAGE where Caption=?"),
                     {kOwner + QStringLiteral(".cmdOK")}));
        QCOMPARE(GetLangString(*state, kOwner, QStringLiteral("cmdOK")), QStringLiteral("OK"));
        // ...until the texts are loaded again.
        QVERIFY(LoadLanguageTexts(*state));
        QCOMPARE(GetLangString(*state, kOwner, QStringLiteral("cmdOK")), QString(""));
        languageRow(*state, QStringLiteral("Korvo2005.EXE"), kOwner + QStringLiteral(".cmdOK"),
                    QStringLiteral("OK"), QStringLiteral("确定"), QStringLiteral("ОК"));
    }
    // The column follows the language setting.
    {
        auto state = openState(root, QStringLiteral("Chinese"));
        QVERIFY(state);
        QVERIFY(LoadLanguageTexts(*state));
        QCOMPARE(state->language.column, QStringLiteral("Chinese"));
        QCOMPARE(GetLangString(*state, kOwner, QStringLiteral("cmdOK")), QStringLiteral("确定"));
    }
    {
        auto state = openState(root, QStringLiteral("Other"));
        QVERIFY(state);
        QCOMPARE(GetLangString(*state, kOwner, QStringLiteral("cmdOK")), QStringLiteral("ОК"));
        QVERIFY(state->reportedErrors.isEmpty());
    }
}

void TestLanguage::missingTextReportedPerCall()
{
    TestDataRoot root;
    QVERIFY2(root.ok(), qPrintable(root.error()));
    auto state = openState(root);
    QVERIFY(state);
    addTestTexts(*state);

    // No row; a null text; a row of another program.
    for (const char *key : {"cmdNoSuchControl", "lblNoText", "lblForeign"}) {
        const QString k = QLatin1String(key);
        const QString source = QStringLiteral("GetLangString (") + kOwner + QStringLiteral(", ") + k + QLatin1Char(')');
        const int before = int(state->reportedErrors.size());
        const int shown = int(root.ui.messages.size());
        const QString text = GetLangString(*state, kOwner, k);
        QVERIFY2(text.isEmpty(), key);
        QCOMPARE(int(state->reportedErrors.size()), before + 1);
        QCOMPARE(state->reportedErrors.last().source, source);
        QVERIFY(state->reportedErrors.last().description.contains(kOwner + QLatin1Char('.') + k));
        QVERIFY(state->reportedErrors.last().description.contains(QStringLiteral("English")));
        QCOMPARE(int(root.ui.messages.size()), shown + 1);
        QCOMPARE(root.ui.messages.last().title, source);
        QVERIFY(state->missingTexts.contains(kOwner + QLatin1Char('.') + k));
        // The source goes back to the default after the report.
        QVERIFY(state->errorSource != source);

        // Asked again: reported again, once.
        GetLangString(*state, kOwner, k);
        QCOMPARE(int(state->reportedErrors.size()), before + 2);
    }
}

void TestLanguage::itemListsAndComboValues()
{
    QCOMPARE(SplitItemList(QStringLiteral("0: Central European\r\n  1: Cyrillic  \r\n\r\n \r\n2: Farsi\r\n")),
             QStringList({QStringLiteral("0: Central European"), QStringLiteral("1: Cyrillic"),
                          QStringLiteral("2: Farsi")}));
    QCOMPARE(SplitItemList(QStringLiteral("One")), QStringList({QStringLiteral("One")}));
    QCOMPARE(SplitItemList(QStringLiteral("a\nb\rc")),
             QStringList({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}));
    QVERIFY(SplitItemList(QStringLiteral("\r\n  \r\n")).isEmpty());
    QVERIFY(SplitItemList(QString()).isEmpty());

    QCOMPARE(ComboItemValue(QStringLiteral("3: Farsi")), 3);
    QCOMPARE(ComboItemValue(QStringLiteral("12:EAN-13: weight")), 12);
    QCOMPARE(ComboItemValue(QStringLiteral(" 7 : seven")), 7);
    QCOMPARE(ComboItemValue(QStringLiteral("-2: minus")), -2);
    QCOMPARE(ComboItemValue(QStringLiteral("42")), 42);
    QCOMPARE(ComboItemValue(QStringLiteral("x1: none")), 0);
    QCOMPARE(ComboItemValue(QString()), 0);
    // The number before the first colon only, not one after it.
    QCOMPARE(ComboItemValue(QStringLiteral(":5")), 0);

    // The texts as delivered feed the same split.
    TestDataRoot root;
    QVERIFY2(root.ok(), qPrintable(root.error()));
    auto state = openState(root);
    QVERIFY(state);
    addTestTexts(*state);
    const QStringList items = SplitItemList(GetLangString(*state, kOwner, QStringLiteral("combItems")));
    QCOMPARE(items.size(), 3);
    QCOMPARE(ComboItemValue(items.at(2)), 2);
}

void TestLanguage::languageSwitchWritesSetting()
{
    TestDataRoot root;
    QVERIFY2(root.ok(), qPrintable(root.error()));
    auto state = root.newState();
    QVERIFY(WriteIniString(QStringLiteral("Setting"), QStringLiteral("Language"), QStringLiteral("English"),
                           state->iniFile));
    const QString before = ReadIniString(QStringLiteral("Setting"), QStringLiteral("PLUPageSize"), state->iniFile);

    WriteLanguageSetting(*state, QStringLiteral("Chinese"));
    QCOMPARE(ReadIniString(QStringLiteral("Setting"), QStringLiteral("Language"), state->iniFile),
             QStringLiteral("Chinese"));
    WriteLanguageSetting(*state, QStringLiteral("other"));
    QCOMPARE(ReadIniString(QStringLiteral("Setting"), QStringLiteral("Language"), state->iniFile),
             QStringLiteral("Other"));
    QCOMPARE(ReadIniString(QStringLiteral("Setting"), QStringLiteral("PLUPageSize"), state->iniFile), before);
    QVERIFY(state->reportedErrors.isEmpty());
    // The running program keeps the language it started with.
    QCOMPARE(state->settings.Language, QStringLiteral("English"));

    // No such column: refused and said, the file unchanged.
    WriteLanguageSetting(*state, QStringLiteral("Klingon"));
    QCOMPARE(ReadIniString(QStringLiteral("Setting"), QStringLiteral("Language"), state->iniFile),
             QStringLiteral("Other"));
    QCOMPARE(state->reportedErrors.size(), 1);
}

void TestLanguage::permissions()
{
    TestDataRoot root;
    QVERIFY2(root.ok(), qPrintable(root.error()));
    auto state = openState(root);
    QVERIFY(state);
    addTestTexts(*state);
    const qint32 optionId = languageRow(*state, QStringLiteral("Korvo2005.EXE"),
                                        QStringLiteral("frmMain.mnuID_MENU_FILE_OPTION"),
                                        QStringLiteral("&Options..."));
    const qint32 okId = languageRow(*state, QStringLiteral("Korvo2005.EXE"),
                                    kOwner + QStringLiteral(".cmdOK"), QStringLiteral("OK"));
    QVERIFY(optionId > 0 && okId > 0);
    const QString prohibit = QStringLiteral("insert into UserProhibitFun (UserName, ProhibitFunID) values (?, ?)");
    QVERIFY(exec(state->connUsers, prohibit, {QStringLiteral("clerk"), optionId}));
    QVERIFY(exec(state->connUsers, prohibit, {QStringLiteral("O'Neil"), okId}));
    // An ID no language row has prohibits nothing that can be asked.
    QVERIFY(exec(state->connUsers, prohibit, {QStringLiteral("clerk"), 999999}));

    const QString frmMain = QStringLiteral("frmMain");
    const QString option = QStringLiteral("mnuID_MENU_FILE_OPTION");

    // A user without prohibitions may do everything.
    state->userName = QStringLiteral("boss");
    QVERIFY(GetSecurityPermission(*state, frmMain, option));
    QVERIFY(GetSecurityPermission(*state, kOwner, QStringLiteral("cmdOK")));

    // The prohibited function is denied for that user only.
    state->userName = QStringLiteral("clerk");
    QVERIFY(!GetSecurityPermission(*state, frmMain, option));
    QVERIFY(!GetSecurityPermission(*state, QStringLiteral("FRMMAIN"), option.toLower()));
    QVERIFY(GetSecurityPermission(*state, kOwner, QStringLiteral("cmdOK")));

    // A name with an apostrophe reaches the SQL escaped.
    state->userName = QStringLiteral("O'Neil");
    QVERIFY(!GetSecurityPermission(*state, kOwner, QStringLiteral("cmdOK")));
    QVERIFY(GetSecurityPermission(*state, frmMain, option));

    // A key without a language row is always allowed.
    for (const QString &user : {QStringLiteral("clerk"), QStringLiteral("O'Neil")}) {
        state->userName = user;
        QVERIFY(GetSecurityPermission(*state, frmMain, QStringLiteral("cmdNoSuchControl")));
    }
    QVERIFY2(state->reportedErrors.isEmpty(),
             qPrintable(state->reportedErrors.isEmpty() ? QString() : state->reportedErrors.first().description));
    // Permission checks never report missing texts.
    QVERIFY(state->missingTexts.isEmpty());
}

void TestLanguage::permissionWithUnreadableDatabase()
{
    TestDataRoot root;
    QVERIFY2(root.ok(), qPrintable(root.error()));
    auto state = openState(root);
    QVERIFY(state);
    const qint32 optionId = languageRow(*state, QStringLiteral("Korvo2005.EXE"),
                                        QStringLiteral("frmMain.mnuID_MENU_FILE_OPTION"),
                                        QStringLiteral("&Options..."));
    QVERIFY(optionId > 0);
    QVERIFY(LoadLanguageTexts(*state));
    state->userName = QStringLiteral("clerk");
    QVERIFY(exec(state->connUsers, QStringLiteral("drop table UserProhibitFun")));

    QVERIFY(GetSecurityPermission(*state, QStringLiteral("frmMain"), QStringLiteral("mnuID_MENU_FILE_OPTION")));
    QCOMPARE(state->reportedErrors.size(), 1);
    QCOMPARE(state->reportedErrors.first().source,
             QStringLiteral("GetSecurityPermission (frmMain, mnuID_MENU_FILE_OPTION)"));
    // A key without a row never reaches the users database.
    QVERIFY(GetSecurityPermission(*state, QStringLiteral("frmMain"), QStringLiteral("cmdNoSuchControl")));
    QCOMPARE(state->reportedErrors.size(), 1);
}

void TestLanguage::administratorCheck()
{
    TestDataRoot root;
    QVERIFY2(root.ok(), qPrintable(root.error()));
    auto state = openState(root);
    QVERIFY(state);
    const QString add = QStringLiteral("insert into Users (UserName, type, PasswordHash) values (?, ?, ?)");
    QVERIFY(exec(state->connUsers, add, {QStringLiteral("boss"), QStringLiteral("ADMINISTRATOR"), QStringLiteral("-")}));
    QVERIFY(exec(state->connUsers, add, {QStringLiteral("clerk"), QStringLiteral("USER"), QStringLiteral("-")}));
    QVERIFY(exec(state->connUsers, add, {QStringLiteral("O'Neil"), QStringLiteral("ADMINISTRATOR"), QStringLiteral("-")}));

    const struct {
        const char *name;
        bool admin;
    } cases[] = {{"boss", true}, {"BOSS", true}, {"clerk", false}, {"O'Neil", true}, {"nobody", false},
                 {"' or '1'='1", false}};
    for (const auto &c : cases) {
        state->userName = QString::fromUtf8(c.name);
        state->isAdministrator = !c.admin;
        QCOMPARE(CheckAdministrator(*state), c.admin);
        QCOMPARE(state->isAdministrator, c.admin);
    }
    QVERIFY(state->reportedErrors.isEmpty());
}

QTEST_GUILESS_MAIN(TestLanguage)
#include "tst_language.moc"
