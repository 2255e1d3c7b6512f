#include "ui/FieldChooserWindow.h"

#include "core/AppState.h"
#include "ui/FormTexts.h"
#include "ui/PluListWidget.h"

#include <QHeaderView>
#include <QListWidget>
#include <QSettings>
#include <QVBoxLayout>

namespace korvo {

namespace {
constexpr int kTwipsPerPixel = 15;
}

FieldChooserWindow::FieldChooserWindow(AppState &state, PluListWidget *list, QWidget *owner)
    : QWidget(owner, Qt::Tool), m_state(state), m_list(list)
{
    setObjectName(QStringLiteral("frmFieldChooser"));
    wndFieldChooser = new QListWidget(this);
    wndFieldChooser->setObjectName(QStringLiteral("wndFieldChooser"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(wndFieldChooser);

    SetFormLangString(state, this);

    QSettings &store = state.userStore(); // already in the group "Settings"
    const int left = store.value(QStringLiteral("FieldChooserLeft"), 1000).toInt();
    const int top = store.value(QStringLiteral("FieldChooserTop"), 1000).toInt();
    const int width = store.value(QStringLiteral("FieldChooserWidth"), 2300).toInt();
    const int height = store.value(QStringLiteral("FieldChooserHeight"), 5500).toInt();
    setGeometry(left / kTwipsPerPixel, top / kTwipsPerPixel, qMax(60, width / kTwipsPerPixel),
                qMax(60, height / kTwipsPerPixel));

    connect(wndFieldChooser, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem *item) {
        const int column = item->data(Qt::UserRole).toInt();
        m_list->horizontalHeader()->setSectionHidden(column, false);
        refresh();
    });
    connect(list, &PluListWidget::layoutChanged, this, [this] {
        if (isVisible())
            refresh();
    });
}

void FieldChooserWindow::refresh()
{
    wndFieldChooser->clear();
    const QHeaderView *h = m_list->horizontalHeader();
    for (int i = 0; i < m_list->columnCount(); ++i) {
        if (!h->isSectionHidden(i))
            continue;
        const QTableWidgetItem *header = m_list->horizontalHeaderItem(i);
        auto *item = new QListWidgetItem(header ? header->text() : QString::number(i), wndFieldChooser);
        item->setData(Qt::UserRole, i);
    }
}

void FieldChooserWindow::showEvent(QShowEvent *event)
{
    refresh();
    QWidget::showEvent(event);
}

void FieldChooserWindow::closeEvent(QCloseEvent *event)
{
    savePosition();
    QWidget::closeEvent(event);
}

void FieldChooserWindow::savePosition()
{
    if (isMinimized())
        return;
    QSettings &store = m_state.userStore();
    const QRect g = geometry();
    store.setValue(QStringLiteral("FieldChooserLeft"), g.x() * kTwipsPerPixel);
    store.setValue(QStringLiteral("FieldChooserTop"), g.y() * kTwipsPerPixel);
    store.setValue(QStringLiteral("FieldChooserWidth"), g.width() * kTwipsPerPixel);
    store.setValue(QStringLiteral("FieldChooserHeight"), g.height() * kTwipsPerPixel);
}

} // namespace korvo
