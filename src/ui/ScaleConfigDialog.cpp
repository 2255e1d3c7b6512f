#include "ui/ScaleConfigDialog.h"

#include "comm/ScaleComm.h"
#include "comm/ScaleList.h"
#include "core/AppState.h"
#include "core/Database.h"
#include "core/UserInterface.h"
#include "i18n/Language.h"
#include "ui/DialogButtons.h"
#include "ui/FormTexts.h"
#include "ui/Named.h"

#include <QApplication>
#include <QComboBox>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace korvo {

namespace {

const QString kOwner = QStringLiteral("frmScaleConfig");

// A table edited in place, one whole row selected at a time.
QTableWidget *rowTable(QWidget *parent, const char *name, const QStringList &headers)
{
    auto *t = Named<QTableWidget>(parent, name);
    t->setColumnCount(int(headers.size()));
    t->setHorizontalHeaderLabels(headers);
    t->verticalHeader()->hide();
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    t->setSelectionMode(QAbstractItemView::SingleSelection);
    return t;
}

} // namespace

ScaleConfigDialog::ScaleConfigDialog(AppState &state, QWidget *parent) : QDialog(parent), m_state(state)
{
    setObjectName(kOwner);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    buildControls();
    SetFormLangString(state, this);
    LoadScaleSetup(state, m_setup);
    showSetup();
    resize(760, 560);
}

QString ScaleConfigDialog::text(const char *key) const
{
    return GetLangString(m_state, kOwner, QLatin1String(key));
}

void ScaleConfigDialog::buildControls()
{
    lblSections = Named<QLabel>(this, "lblSections");
    tblSections = rowTable(this, "tblSections", {text("colSectNo"), text("colSectName")});
    tblSections->horizontalHeader()->setStretchLastSection(true);
    cmdAddSection = Named<QPushButton>(this, "cmdAddSection");
    cmdDeleteSection = Named<QPushButton>(this, "cmdDeleteSection");
    lblDepts = Named<QLabel>(this, "lblDepts");
    lstDepts = Named<QListWidget>(this, "lstDepts");
    lblScales = Named<QLabel>(this, "lblScales");
    tblScales = rowTable(this, "tblScales",
                         {text("colAddress"), text("colDescription"), text("colSection"), text("colUsed")});
    tblScales->horizontalHeader()->setSectionResizeMode(ColDescription, QHeaderView::Stretch);
    cmdAddScale = Named<QPushButton>(this, "cmdAddScale");
    cmdDeleteScale = Named<QPushButton>(this, "cmdDeleteScale");
    cmdTestConnection = Named<QPushButton>(this, "cmdTestConnection");
    lblTestResult = Named<QLabel>(this, "lblTestResult");
    lblTestResult->setWordWrap(true);
    lblTestResult->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblSections->setBuddy(tblSections);
    lblDepts->setBuddy(lstDepts);
    lblScales->setBuddy(tblScales);

    auto *grid = new QGridLayout;
    grid->addWidget(lblSections, 0, 0);
    grid->addWidget(lblDepts, 0, 1);
    grid->addWidget(tblSections, 1, 0);
    grid->addWidget(lstDepts, 1, 1);
    auto *sectButtons = new QHBoxLayout;
    sectButtons->addWidget(cmdAddSection);
    sectButtons->addWidget(cmdDeleteSection);
    sectButtons->addStretch(1);
    grid->addLayout(sectButtons, 2, 0);
    auto *scaleButtons = new QHBoxLayout;
    scaleButtons->addWidget(cmdAddScale);
    scaleButtons->addWidget(cmdDeleteScale);
    scaleButtons->addWidget(cmdTestConnection);
    scaleButtons->addStretch(1);

    auto *box = new QVBoxLayout(this);
    box->addLayout(grid, 2);
    box->addWidget(lblScales);
    box->addWidget(tblScales, 3);
    box->addLayout(scaleButtons);
    box->addWidget(lblTestResult);
    box->addLayout(OkCancelRow(this, cmdOK, cmdCancel));

    connect(tblSections, &QTableWidget::itemSelectionChanged, this, &ScaleConfigDialog::showDepts);
    connect(tblSections, &QTableWidget::itemChanged, this, [this](QTableWidgetItem *item) {
        if (!m_showing && item->column() == ColSectName)
            refreshSectionChoices();
    });
    connect(lstDepts, &QListWidget::itemChanged, this, [this](QListWidgetItem *item) {
        const int row = tblSections->currentRow();
        if (m_showing || row < 0 || row >= m_setup.sections.size())
            return;
        const qint32 dept = item->data(Qt::UserRole).toInt();
        if (item->checkState() == Qt::Checked)
            m_setup.sections[row].depts.insert(dept);
        else
            m_setup.sections[row].depts.remove(dept);
    });
    connect(cmdAddSection, &QPushButton::clicked, this, [this] {
        SectionRow s;
        s.no = setup().freeSectionNo();
        s.name = text("txtNewSection").arg(s.no);
        m_setup.sections.push_back(s);
        addSectionRow(s);
        refreshSectionChoices();
        tblSections->setCurrentCell(tblSections->rowCount() - 1, ColSectName);
        tblSections->editItem(tblSections->item(tblSections->rowCount() - 1, ColSectName));
    });
    connect(cmdDeleteSection, &QPushButton::clicked, this, &ScaleConfigDialog::deleteSection);
    connect(cmdAddScale, &QPushButton::clicked, this, [this] {
        ScaleRow r;
        r.section = m_setup.sections.isEmpty() ? 0 : m_setup.sections.first().no;
        addScaleRow(r);
        tblScales->setCurrentCell(tblScales->rowCount() - 1, ColAddress);
        tblScales->editItem(tblScales->item(tblScales->rowCount() - 1, ColAddress));
    });
    connect(cmdDeleteScale, &QPushButton::clicked, this, [this] {
        if (tblScales->currentRow() >= 0)
            tblScales->removeRow(tblScales->currentRow());
    });
    connect(cmdTestConnection, &QPushButton::clicked, this, &ScaleConfigDialog::testConnection);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(cmdOK, &QPushButton::clicked, this, &ScaleConfigDialog::ok);
}

void ScaleConfigDialog::addSectionRow(const SectionRow &s)
{
    const int row = tblSections->rowCount();
    tblSections->insertRow(row);
    auto *no = new QTableWidgetItem(QString::number(s.no));
    no->setFlags(no->flags() & ~Qt::ItemIsEditable);
    tblSections->setItem(row, ColSectNo, no);
    tblSections->setItem(row, ColSectName, new QTableWidgetItem(s.name));
}

void ScaleConfigDialog::addScaleRow(const ScaleRow &r)
{
    const int row = tblScales->rowCount();
    tblScales->insertRow(row);
    tblScales->setItem(row, ColAddress, new QTableWidgetItem(r.address));
    tblScales->setItem(row, ColDescription, new QTableWidgetItem(r.description));
    auto *combo = new QComboBox(tblScales);
    combo->setObjectName(QStringLiteral("cboSection"));
    combo->setProperty("section", r.section);
    connect(combo, &QComboBox::activated, combo, [combo] { combo->setProperty("section", combo->currentData()); });
    tblScales->setCellWidget(row, ColSection, combo);
    auto *used = new QTableWidgetItem;
    used->setFlags((used->flags() | Qt::ItemIsUserCheckable) & ~Qt::ItemIsEditable);
    used->setCheckState(r.used ? Qt::Checked : Qt::Unchecked);
    tblScales->setItem(row, ColUsed, used);
    refreshSectionChoices();
}

void ScaleConfigDialog::refreshSectionChoices()
{
    const ScaleSetup now = setup();
    for (int row = 0; row < tblScales->rowCount(); ++row) {
        auto *combo = qobject_cast<QComboBox *>(tblScales->cellWidget(row, ColSection));
        if (!combo)
            continue;
        const qint32 chosen = combo->property("section").toInt();
        combo->clear();
        for (const SectionRow &s : now.sections)
            combo->addItem(QStringLiteral("%1: %2").arg(s.no).arg(s.name), s.no);
        combo->setCurrentIndex(combo->findData(chosen));
    }
}

void ScaleConfigDialog::showSetup()
{
    m_showing = true;
    tblSections->setRowCount(0);
    tblScales->setRowCount(0);
    for (const SectionRow &s : std::as_const(m_setup.sections))
        addSectionRow(s);
    for (const ScaleRow &r : std::as_const(m_setup.scales))
        addScaleRow(r);
    tblScales->resizeColumnToContents(ColAddress);
    m_showing = false;
    if (tblSections->rowCount() > 0)
        tblSections->setCurrentCell(0, ColSectName);
    showDepts();
}

void ScaleConfigDialog::showDepts()
{
    m_showing = true;
    lstDepts->clear();
    const int row = tblSections->currentRow();
    const bool has = row >= 0 && row < m_setup.sections.size();
    lstDepts->setEnabled(has);
    if (has) {
        const QSet<qint32> &depts = m_setup.sections.at(row).depts;
        auto q = QueryKorvoDB(m_state, QStringLiteral("select DP_No,DP_Name from DEPT order by DP_No"));
        while (q && q->next()) {
            auto *item = new QListWidgetItem(q->value(0).toString() + QStringLiteral(": ") + q->value(1).toString(), lstDepts);
            item->setData(Qt::UserRole, q->value(0).toInt());
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            item->setCheckState(depts.contains(q->value(0).toInt()) ? Qt::Checked : Qt::Unchecked);
        }
    }
    m_showing = false;
}

ScaleSetup ScaleConfigDialog::setup() const
{
    ScaleSetup s;
    for (int row = 0; row < tblSections->rowCount(); ++row) {
        SectionRow sect = row < m_setup.sections.size() ? m_setup.sections.at(row) : SectionRow{};
        sect.no = tblSections->item(row, ColSectNo)->text().toInt();
        sect.name = tblSections->item(row, ColSectName)->text().trimmed();
        s.sections.push_back(sect);
    }
    for (int row = 0; row < tblScales->rowCount(); ++row) {
        ScaleRow r;
        r.address = tblScales->item(row, ColAddress)->text().trimmed();
        r.description = tblScales->item(row, ColDescription)->text().trimmed();
        if (auto *combo = qobject_cast<QComboBox *>(tblScales->cellWidget(row, ColSection)))
            r.section = combo->currentIndex() >= 0 ? combo->currentData().toInt() : -1;
        r.used = tblScales->item(row, ColUsed)->checkState() == Qt::Checked;
        s.scales.push_back(r);
    }
    return s;
}

void ScaleConfigDialog::deleteSection()
{
    const int row = tblSections->currentRow();
    if (row < 0 || row >= m_setup.sections.size())
        return;
    const qint32 no = tblSections->item(row, ColSectNo)->text().toInt();
    for (const ScaleRow &r : setup().scales) {
        if (r.section == no) {
            m_state.ui->message(text("msgSectionHasScales"), AppState::appTitle(), MsgIcon::Exclamation);
            return;
        }
    }
    m_setup.sections.removeAt(row);
    tblSections->removeRow(row);
    refreshSectionChoices();
    showDepts();
}

void ScaleConfigDialog::testConnection()
{
    const int row = tblScales->currentRow();
    if (row < 0)
        return;
    const QString address = tblScales->item(row, ColAddress)->text().trimmed();
    if (!ParseIPv4(address)) {
        m_state.ui->message(text("msgBadAddress"), AppState::appTitle(), MsgIcon::Critical);
        tblScales->setCurrentCell(row, ColAddress);
        return;
    }
    if (!m_state.scaleComm)
        return;
    lblTestResult->setText(text("msgTesting").arg(address));
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const ScaleGreeting g = m_state.scaleComm->greet(address);
    QApplication::restoreOverrideCursor();
    const QString answer = g.ok ? text("msgTestOk").arg(address).arg(g.scaleNo).arg(g.pluCount)
                                : text("msgTestFailed").arg(address, g.failure);
    lblTestResult->setText(answer);
    m_state.ui->message(answer, AppState::appTitle(), g.ok ? MsgIcon::Information : MsgIcon::Exclamation);
}

void ScaleConfigDialog::ok()
{
    const ScaleSetup s = setup();
    if (const std::optional<SetupProblem> p = CheckScaleSetup(s)) {
        m_state.ui->message(text(p->key.toLatin1().constData()), AppState::appTitle(), MsgIcon::Critical);
        if (p->where == SetupProblem::Where::Scale) {
            const int column = p->key == QLatin1String("msgNoSection") ? ColSection : ColAddress;
            tblScales->setCurrentCell(p->row, column);
            tblScales->setFocus();
        } else {
            tblSections->setCurrentCell(p->row, ColSectName);
            tblSections->setFocus();
        }
        return;
    }
    if (!SaveScaleSetup(m_state, s))
        return;
    m_cancelled = false;
    accept();
}

} // namespace korvo
