// The building blocks of the windows: the language pass, the PLU list's
// columns and layout text, the file filter conversion, the message boxes;
// and the sign-in dialog over a real Users.db.

#include "UiTestSupport.h"
#include "core/Database.h"
#include "core/IniFile.h"
#include "core/Log.h"
#include "i18n/Permissions.h"
#include "i18n/UserAdmin.h"
#include "i18n/Users.h"
#include "startup/Startup.h"
#include "ui/QtTranslations.h"
#include "ui/SignInDialog.h"
#include "i18n/Language.h"
#include "ui/FieldChooserWindow.h"
#include "ui/FormTexts.h"
#include "ui/PluListWidget.h"
#include "ui/StatusProcessWindow.h"
#include "ui/WidgetUserInterface.h"

#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QStringDecoder>
#include <QtTest>

using namespace korvo;
using namespace korvo::test;

namespace {

template <typename T>
T *Named(QWidget *parent, const char *name, const QString &text = QStringLiteral("design"))
{
    T *w = new T(text, parent);
    w->setObjectName(QLatin1String(name));
    return w;
}

// A window with the control names of frmMain's page bar and editor.
struct Form {
    Form() { window.setObjectName(QStringLiteral("frmMain")); }
    QWidget window;
    QPushButton *button = Named<QPushButton>(&window, "cmdNewPLU");
    QLabel *label = Named<QLabel>(&window, "lblQueryByPLUNo");
    QLabel *unnamed = Named<QLabel>(&window, "", "/");
    QPushButton *internal = Named<QPushButton>(&window, "qt_internal", "inside");
    QLineEdit *box = Named<QLineEdit>(&window, "txtPageNo", "");
    QSpinBox *spin = new QSpinBox(&window);
    QAction *action = Named<QAction>(&window, "mnuID_MENU_FILE_EXIT");
};

QString UsersPath(const TestDataRoot &root) { return root.path() + "Database/" + DatabaseFileName(DbKind::Users); }

QLineEdit *Box(QWidget &dlg, const char *name) { return dlg.findChild<QLineEdit *>(QLatin1String(name)); }
QPushButton *Button(QWidget &dlg, const char *name) { return dlg.findChild<QPushButton *>(QLatin1String(name)); }

// Types the name and password (and the confirmation when given), then OK.
void SignIn(SignInDialog &dlg, const QString &name, const QString &password, const QString &confirm = {})
{
    TypeInto(Box(dlg, "txtUserName"), name);
    TypeInto(Box(dlg, "txtPassword"), password);
    if (!confirm.isNull())
        TypeInto(Box(dlg, "txtConfirmPassword"), confirm);
    QTest::mouseClick(Button(dlg, "cmdOK"), Qt::LeftButton);
}

} // namespace

class TestWidgets : public QObject {
    Q_OBJECT
    std::unique_ptr<TestDataRoot> m_root;
    ScriptedUi &ui() { return m_root->ui; }
    void addAnn() { QVERIFY(UserDirectory(UsersPath(*m_root)).addUser("ann", "pw-1", "USER")); }

private slots:
    void init()
    {
        m_root = std::make_unique<TestDataRoot>();
        QVERIFY2(m_root->ok(), qPrintable(m_root->error()));
    }
    void formTextsSetCaptionsAndPermissions();
    void formTextsFarsiLayout();
    void pluListColumnsAndLayout();
    void fileFilterConversion();
    void messageBoxesAndProgress();
    void firstStartCreatesTheAdministrator()
    {
        SignInDialog dlg(m_root->path(), &ui());
        QVERIFY(dlg.directoryOpen() && dlg.createsAdministrator());
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QVERIFY(Box(dlg, "txtConfirmPassword")->isVisible());
        QVERIFY(dlg.findChild<QLabel *>("lblNewAdministrator")->isVisible());

        // An empty password, one too short (counted in characters, not
        // UTF-16 units), then two different ones, are refused; nothing is stored.
        SignIn(dlg, "boss", "", "");
        QCOMPARE(ui().messages.last().text, dlg.texts().text("msgEmptyPassword"));
        QCOMPARE(ui().messages.last().icon, MsgIcon::Critical);
        const QString sevenKeys = QString::fromUcs4(U"\U0001F511").repeated(7); // 14 UTF-16 units
        SignIn(dlg, "boss", sevenKeys, sevenKeys);
        QCOMPARE(ui().messages.last().text, dlg.texts().text("msgPasswordTooShort").arg(kMinPasswordLength));
        SignIn(dlg, "boss", "s3cret-8", "s3cret-X");
        QCOMPARE(ui().messages.size(), 3);
        QCOMPARE(ui().messages.last().text, dlg.texts().text("msgPasswordMismatch"));
        QVERIFY(dlg.isVisible() && dlg.signedInName().isEmpty());
        QVERIFY(Box(dlg, "txtPassword")->text().isEmpty());
        QVERIFY(UserDirectory(UsersPath(*m_root)).isEmpty());

        SignIn(dlg, "boss", "s3cret-8", "s3cret-8");
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(dlg.signedInName(), QStringLiteral("boss"));
        QCOMPARE(ui().messages.size(), 3);
        UserDirectory users(UsersPath(*m_root));
        QVERIFY(users.checkPassword("boss", "s3cret-8"));
        auto state = m_root->newState();
        QVERIFY(InitDBConnection(*state));
        state->userName = "boss";
        QVERIFY(CheckAdministrator(*state));

        // The next start asks for name and password only.
        SignInDialog next(m_root->path(), &ui());
        QVERIFY(!next.createsAdministrator());
        next.show();
        QVERIFY(!Box(next, "txtConfirmPassword")->isVisible());
    }

    void wrongPasswordLetsTheUserRetry()
    {
        addAnn();
        SignInDialog dlg(m_root->path(), &ui());
        // Failures are logged and slowed; here by 0.3 s per failure in a row.
        QStringList logged;
        SignInGuard guard([&](const QString &line) { logged << line; }, [](int n) { return n * qint64(300); });
        dlg.setGuard(&guard);
        QPushButton *ok = Button(dlg, "cmdOK");
        QVERIFY(!dlg.createsAdministrator());
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        SignIn(dlg, "ann", "pw-2");
        QCOMPARE(ui().messages.size(), 1);
        QCOMPARE(ui().messages.last().text, dlg.texts().text("msgWrongPassword"));
        QVERIFY(dlg.isVisible() && dlg.signedInName().isEmpty());
        QVERIFY(Box(dlg, "txtPassword")->text().isEmpty());
        QVERIFY(!ok->isEnabled() && dlg.findChild<QLabel *>("lblSignInWait")->isVisible());
        QTRY_VERIFY(ok->isEnabled());
        // An unknown name is refused the same way, and waits longer; blanks
        // around the name do not count.
        SignIn(dlg, "nobody", "pw-1");
        QCOMPARE(ui().messages.size(), 2);
        QVERIFY(dlg.isVisible());
        QVERIFY(guard.waitMs() > 300);
        QCOMPARE(logged, QStringList({"Sign-in failed for 'ann' (1 in a row)",
                                      "Sign-in failed for 'nobody' (2 in a row)"}));
        QTRY_VERIFY(ok->isEnabled());
        SignIn(dlg, " ann ", "pw-1");
        QCOMPARE(guard.failures(), 0);
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(dlg.signedInName(), QStringLiteral("ann"));
    }

    void cancelReturnsNoName()
    {
        addAnn();
        DialogSignInProvider provider(m_root->path(), &ui());
        // Even with a correct name and password typed, Cancel signs nobody in.
        OnModal<SignInDialog>([](SignInDialog *dlg) {
            QTest::keyClicks(Box(*dlg, "txtUserName"), "ann");
            QTest::keyClicks(Box(*dlg, "txtPassword"), "pw-1");
            QTest::mouseClick(Button(*dlg, "cmdCancel"), Qt::LeftButton);
        });
        QCOMPARE(provider.show(), QString());
        QVERIFY(ui().messages.isEmpty());
        // Return in the password box signs in.
        OnModal<SignInDialog>([](SignInDialog *dlg) {
            QTest::keyClicks(Box(*dlg, "txtUserName"), "ann");
            QTest::keyClicks(Box(*dlg, "txtPassword"), "pw-1");
            QTest::keyClick(Box(*dlg, "txtPassword"), Qt::Key_Return);
        });
        QCOMPARE(provider.show(), QStringLiteral("ann"));
        // No users database is no cancel: the start ends with an error.
        QVERIFY(!provider.failed());
        QVERIFY(QFile::remove(UsersPath(*m_root)));
        QCOMPARE(provider.show(), QString());
        QVERIFY(provider.failed());
        QCOMPARE(ui().messages.last().icon, MsgIcon::Critical);
    }

    void failuresStayInTheDayLog()
    {
        const qint64 delays[][2] = {{1, 500}, {2, 1000}, {6, 16000}, {7, 30000}, {1000, 30000}};
        for (const auto &d : delays)
            QCOMPARE(SignInGuard::DefaultDelay(int(d[0])), d[1]);
        // The start empties the day's log once: before the first failure it
        // writes, not after it.
        addAnn();
        auto state = m_root->newState();
        RestartDayLog(*state);
        WriteLog(*state, "Sign-in failed for 'x' (1 in a row)");
        QVERIFY(StartSession(*state, "ann"));
        QStringDecoder utf16(QStringDecoder::Utf16LE);
        const QString log = utf16(FileBytes(LogFilePath(*state, state->now().date())));
        QVERIFY2(log.contains("'x'") && log.contains("'ann' logged in"), qPrintable(log));
    }

    void textsComeFromTheLanguageDatabase()
    {
        const char *keys[] = {"Caption", "lblUserName", "lblPassword", "lblConfirmPassword", "lblNewAdministrator",
                              "cmdOK", "cmdCancel", "msgWrongPassword", "msgPasswordMismatch", "msgEmptyName",
                              "msgEmptyPassword", "msgPasswordTooShort", "msgUsersDatabaseError", "lblSignInWait"};
        const QString ini = m_root->iniPath();
        QStringList captions;
        for (const QString &language : QStringList{"English", "Chinese", "Other"}) {
            QVERIFY(WriteIniString("Setting", "Language", language, ini));
            LoginTexts texts(m_root->path());
            QVERIFY(texts.databaseOpen());
            QCOMPARE(texts.language(), language);
            for (const char *key : keys)
                QVERIFY2(!texts.text(key).isEmpty(), key);
            QVERIFY2(texts.missingKeys().isEmpty(), qPrintable(texts.missingKeys().values().join(u' ')));
            QVERIFY(!captions.contains(texts.text("Caption")));
            captions << texts.text("Caption");
            SignInDialog dlg(m_root->path(), &ui());
            QCOMPARE(dlg.windowTitle(), texts.text("Caption"));
            QCOMPARE(Button(dlg, "cmdCancel")->text(), texts.text("cmdCancel"));
        }
        // An unknown language reads as English, by the main window's rule.
        QVERIFY(WriteIniString("Setting", "Language", "chinese", ini));
        QCOMPARE(LoginTexts(m_root->path()).language(), QStringLiteral("English"));
        // The language the program runs in wins over a newer choice in the
        // file: the sign-in after Logout matches the main window.
        QCOMPARE(SignInDialog(m_root->path(), &ui(), nullptr, "Other").windowTitle(), captions.at(2));

        // Qt's own buttons speak the language too.
        QStringList yes;
        for (const QString &language : QStringList{"Chinese", "Other", "English"}) {
            QVERIFY2(InstallQtTranslations(language), qPrintable(language));
            QMessageBox box(QMessageBox::Question, "", "", QMessageBox::Yes);
            yes << box.button(QMessageBox::Yes)->text();
        }
        QCOMPARE(yes.last(), QStringLiteral("&Yes"));
        QCOMPARE(QSet<QString>(yes.begin(), yes.end()).size(), 3);

        // Without language.db the built-in English wording stands in.
        QTemporaryDir empty;
        LoginTexts fallback(empty.path());
        QVERIFY(!fallback.databaseOpen());
        QCOMPARE(fallback.text("cmdCancel"), QStringLiteral("Cancel"));
        QVERIFY(fallback.missingKeys().isEmpty());
    }
};

void TestWidgets::formTextsSetCaptionsAndPermissions()
{
    TestDataRoot &root = *m_root;
    {
        auto setup = root.loadedState();
        QVERIFY(setup);
        QVERIFY(Prohibit(*setup, "bob", "frmMain.cmdNewPLU"));
        QVERIFY(Prohibit(*setup, "bob", "frmMain.mnuID_MENU_FILE_EXIT"));
        CloseDBConnections(*setup);
    }
    for (const QString &user : {QStringLiteral("admin"), QStringLiteral("bob")}) {
        auto state = root.loadedState(user);
        QVERIFY(state);
        Form f;
        SetFormLangString(*state, &f.window);
        const QString owner = QStringLiteral("frmMain");
        QCOMPARE(f.window.windowTitle(), GetLangString(*state, owner, "Caption"));
        QCOMPARE(f.button->text(), GetLangString(*state, owner, "cmdNewPLU"));
        QCOMPARE(f.label->text(), GetLangString(*state, owner, "lblQueryByPLUNo"));
        QCOMPARE(f.action->text(), GetLangString(*state, owner, "mnuID_MENU_FILE_EXIT"));
        // Unnamed and Qt's internal widgets are left alone.
        QCOMPARE(f.unnamed->text() + f.internal->text(), QStringLiteral("/inside"));
        QCOMPARE(f.box->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
        const bool bob = user == QLatin1String("bob");
        QCOMPARE(f.button->isEnabled(), !bob);
        QCOMPARE(f.action->isEnabled(), !bob);
        QVERIFY(f.label->isEnabled()); // a control without a prohibition stays usable
        QVERIFY(state->reportedErrors.isEmpty());
    }

    // A control without a text row: reported once, empty caption, the pass goes on.
    auto state = root.loadedState();
    QVERIFY(state);
    QWidget window;
    window.setObjectName(QStringLiteral("frmMain"));
    auto *unknown = Named<QCheckBox>(&window, "chkNoSuchControl");
    auto *later = Named<QGroupBox>(&window, "cmdSavePLU");
    SetFormLangString(*state, &window);
    QCOMPARE(unknown->text(), QString());
    QVERIFY(unknown->isEnabled()); // without a row it cannot be prohibited
    QVERIFY(state->missingTexts.contains(QStringLiteral("frmMain.chkNoSuchControl")));
    QCOMPARE(state->reportedErrors.size(), 1);
    QCOMPARE(later->title(), GetLangString(*state, QStringLiteral("frmMain"), QStringLiteral("cmdSavePLU")));
}

void TestWidgets::formTextsFarsiLayout()
{
    TestDataRoot &root = *m_root;
    auto state = root.loadedState();
    QVERIFY(state);
    state->settings.SetLanguageCodepage = 1;
    state->settings.LangeCodepageToConvert = 1; // Cyrillic: not Farsi
    QVERIFY(!IsFarsiLayout(*state));
    state->settings.LangeCodepageToConvert = 2;
    QVERIFY(IsFarsiLayout(*state));
    Form f;
    f.spin->setObjectName(QStringLiteral("txtPrice"));
    SetFormLangString(*state, &f.window);
    QCOMPARE(f.box->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
    QCOMPARE(f.spin->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
    QCOMPARE(f.button->font().family(), QStringLiteral("Tahoma"));
    QVERIFY(f.unnamed->font().family() != QLatin1String("Tahoma"));
}

void TestWidgets::pluListColumnsAndLayout()
{
    // The arrangement itself survives a restart (the field chooser's test);
    // a stored text that is no layout of this list changes nothing.
    PluFieldTable fields;
    fields.reset();
    fields.applyShowKey(QStringLiteral("1,69"));
    PluListWidget list;
    list.setupColumns(fields, QStringLiteral("%%%"));
    QHeaderView *h = list.horizontalHeader();
    QVERIFY(h->isSectionHidden(0) && !h->isSectionHidden(1) && !h->isSectionHidden(69));
    h->moveSection(h->visualIndex(69), 0);
    QVERIFY(!list.applyLayoutText(QStringLiteral("bm90IGEgbGF5b3V0")));
    QVERIFY(!list.applyLayoutText(QString()));
    QCOMPARE(h->visualIndex(69), 0);
    QVERIFY(h->isSectionHidden(0));
}

void TestWidgets::fileFilterConversion()
{
    QCOMPARE(QtFileFilter(QStringLiteral("CSV (*.csv)|*.csv")), QStringLiteral("CSV (*.csv)"));
    QCOMPARE(QtFileFilter(QStringLiteral("*.EXE|*.exe")), QStringLiteral("*.EXE (*.exe)"));
    QCOMPARE(QtFileFilter(QStringLiteral("Icons|*.ico;*.cur|All (*.*)|*.*")),
             QStringLiteral("Icons (*.ico *.cur);;All (*.*)"));
    QCOMPARE(QtFileFilter(QStringLiteral("Text (*.txt)")), QStringLiteral("Text (*.txt)"));
}

void TestWidgets::messageBoxesAndProgress()
{
    WidgetUserInterface ui;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    bool noPreselected = false;
    QString title;
    // Notes what the box shows, then answers with a button or a key.
    auto answer = [&](QMessageBox::StandardButton button, Qt::Key key = Qt::Key_unknown) {
        OnModal<QMessageBox>([&, button, key](QMessageBox *box) {
            icon = box->icon();
            noPreselected = box->defaultButton() && box->defaultButton() == box->button(QMessageBox::No);
            title = box->windowTitle();
            if (key != Qt::Key_unknown)
                QTest::keyClick(box, key);
            else
                box->button(button)->click();
        });
    };
    answer(QMessageBox::Yes);
    QCOMPARE(ui.message("Log out?", "Korvo 2005", MsgIcon::Question, MsgButtons::YesNo, MsgResult::No), MsgResult::Yes);
    QCOMPARE(icon, QMessageBox::Question);
    QVERIFY(noPreselected); // the harmless answer is preselected
    QCOMPARE(title, QStringLiteral("Korvo 2005"));
    answer(QMessageBox::NoButton, Qt::Key_Escape);
    QCOMPARE(ui.message("Delete?", {}, MsgIcon::Question, MsgButtons::YesNo, MsgResult::No), MsgResult::No);
    answer(QMessageBox::NoButton, Qt::Key_Return);
    QCOMPARE(ui.message("Delete department?", {}, MsgIcon::Question, MsgButtons::OkCancel, MsgResult::Cancel),
             MsgResult::Cancel);

    // The status window: caption, bar and percentage; once finished a
    // close button instead of the bar.
    ui.progressBegin(QStringLiteral("Encoding"), 3);
    StatusProcessWindow *progress = nullptr;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (auto *p = qobject_cast<StatusProcessWindow *>(w); p && p->isVisible())
            progress = p;
    }
    QVERIFY(progress);
    QVERIFY(progress->isModal());
    ui.progressStep(2, QStringLiteral("Record 2 of 3"));
    QCOMPARE(progress->prgStatus->value(), 2);
    QCOMPARE(progress->lblCaption->text(), QStringLiteral("Record 2 of 3"));
    QCOMPARE(progress->lblPercent->text(), QStringLiteral("67%"));
    ui.progressStep(7); // beyond the end stays at the end
    QCOMPARE(progress->prgStatus->value(), 3);
    QVERIFY(progress->cmdClose->isHidden());
    ui.progressFinish(QStringLiteral("Done."));
    QCOMPARE(progress->lblCaption->text(), QStringLiteral("Done."));
    QVERIFY(progress->prgStatus->isHidden() && !progress->cmdClose->isHidden() && !progress->isModal());
    QPointer<StatusProcessWindow> gone(progress);
    QTest::mouseClick(progress->cmdClose, Qt::LeftButton);
    QTRY_VERIFY(gone.isNull());
}

QTEST_MAIN(TestWidgets)
#include "tst_widgets.moc"
