#include "ui/EditTextDialog.h"

#include "core/AppState.h"
#include "ui/DialogButtons.h"
#include "ui/FormTexts.h"
#include "ui/WindowPlacement.h"

#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSettings>
#include <QVBoxLayout>

namespace korvo {

EditTextDialog::EditTextDialog(AppState &state, QWidget *parent)
    : QDialog(parent), m_state(state), m_model(state)
{
    setObjectName(QStringLiteral("frmEditText"));
    setModal(true);
    setGeometry(ReadWindowPlacement(state.userStore(), QStringLiteral("EditText"), QRect(1000, 1000, 6500, 6500)));

    auto *header = new QHBoxLayout;
    for (const char *name : {"lblLineNumber", "lblContents", "lblFont"}) {
        auto *l = new QLabel(this);
        l->setObjectName(QLatin1String(name));
        header->addWidget(l, qstrcmp(name, "lblContents") == 0 ? 1 : 0);
    }
    auto *rows = new QWidget;
    m_grid = new QGridLayout(rows);
    m_grid->setColumnStretch(1, 1);
    m_grid->setVerticalSpacing(2);
    auto *scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    scroll->setWidget(rows);
    QHBoxLayout *buttons = OkCancelRow(this, cmdOK, cmdCancel);
    // Enter belongs to the rows: it moves on and confirms in the last one.
    for (QPushButton *b : {cmdOK, cmdCancel}) {
        b->setDefault(false);
        b->setAutoDefault(false);
    }
    auto *main = new QVBoxLayout(this);
    main->addLayout(header);
    main->addWidget(scroll, 1);
    main->addLayout(buttons);

    SetFormLangString(state, this);
    connect(cmdOK, &QPushButton::clicked, this, &EditTextDialog::ok);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    syncRows();
}

void EditTextDialog::load(const QString &exchange)
{
    m_model.load(exchange);
    syncRows();
}

void EditTextDialog::addRow()
{
    Row r;
    const int i = int(m_rows.size());
    r.number = new QLabel(QString::number(i + 1));
    r.text = new QLineEdit;
    r.text->setObjectName(QStringLiteral("txtContents"));
    r.font = new QComboBox;
    r.font->setObjectName(QStringLiteral("cboFont"));
    for (const ScaleFont &f : m_model.fonts())
        r.font->addItem(f.Font_Name);
    r.font->installEventFilter(this);
    m_grid->addWidget(r.number, i, 0);
    m_grid->addWidget(r.text, i, 1);
    m_grid->addWidget(r.font, i, 2);
    connect(r.text, &QLineEdit::textEdited, this, [this, box = r.text] { rowEdited(box); });
    connect(r.text, &QLineEdit::returnPressed, this, [this, box = r.text] { enterInRow(box); });
    connect(r.font, &QComboBox::activated, this, [this, box = r.font](int font) { fontChosen(box, font); });
    m_rows.push_back(r);
}

void EditTextDialog::syncRows()
{
    while (m_rows.size() < m_model.rowCount())
        addRow();
    while (m_rows.size() > m_model.rowCount()) {
        const Row r = m_rows.takeLast();
        for (QWidget *w : {static_cast<QWidget *>(r.number), static_cast<QWidget *>(r.text),
                           static_cast<QWidget *>(r.font)}) {
            w->hide();
            w->deleteLater();
        }
    }
    for (int i = 0; i < m_rows.size(); ++i) {
        const Row &r = m_rows[i];
        r.text->setMaxLength(qMax(1, m_model.limit(i)));
        if (r.text->text() != m_model.text(i))
            r.text->setText(m_model.text(i));
        if (r.font->currentIndex() != m_model.fontIndex(i))
            r.font->setCurrentIndex(m_model.fontIndex(i));
    }
}

int EditTextDialog::rowOf(const QWidget *w) const
{
    for (int i = 0; i < m_rows.size(); ++i)
        if (m_rows[i].text == w || m_rows[i].font == w)
            return i;
    return -1;
}

void EditTextDialog::rowEdited(QLineEdit *box)
{
    const int row = rowOf(box);
    if (row < 0)
        return;
    const int cursor = box->cursorPosition();
    const QString kept = m_model.setText(row, box->text());
    if (kept != box->text()) {
        box->setText(kept);
        box->setCursorPosition(qMin(cursor, int(kept.size())));
    }
    syncRows();
}

void EditTextDialog::fontChosen(QComboBox *box, int font)
{
    const int row = rowOf(box);
    if (row < 0)
        return;
    m_model.setFont(row, font);
    syncRows();
}

void EditTextDialog::enterInRow(QLineEdit *box)
{
    const int row = rowOf(box);
    if (row >= 0 && row + 1 < m_rows.size())
        m_rows[row + 1].text->setFocus(Qt::TabFocusReason);
    else
        ok();
}

bool EditTextDialog::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        const int row = rowOf(qobject_cast<QWidget *>(watched));
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && row >= 0) {
            if (row + 1 < m_rows.size())
                m_rows[row + 1].font->setFocus(Qt::TabFocusReason);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void EditTextDialog::ok()
{
    m_cancelled = false;
    accept();
}

void EditTextDialog::done(int result)
{
    if (!isMinimized())
        WriteWindowPlacement(m_state.userStore(), QStringLiteral("EditText"), geometry());
    QDialog::done(result);
}

QString EditText(AppState &state, QWidget *parent, const QString &exchange)
{
    EditTextDialog dialog(state, parent);
    dialog.load(exchange);
    dialog.exec();
    return dialog.cancelled() ? exchange : dialog.exchangeText();
}

} // namespace korvo
