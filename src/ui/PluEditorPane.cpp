#include "ui/PluEditorPane.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace korvo {

QChar TabMnemonic(const QString &caption)
{
    QChar found;
    for (int i = 0; i < caption.size(); ++i) {
        if (caption[i] != QLatin1Char('&'))
            continue;
        if (i + 1 >= caption.size())
            break;
        if (caption[i + 1] == QLatin1Char('&')) {
            ++i; // "&&" is a literal ampersand
            continue;
        }
        found = caption[i + 1];
        ++i;
    }
    return found.isNull() ? found : found.toUpper();
}

namespace {

QGroupBox *NamedGroup(QWidget *parent, const char *name)
{
    auto *g = new QGroupBox(parent);
    g->setObjectName(QLatin1String(name));
    return g;
}

} // namespace

PluEditorPane::PluEditorPane(QWidget *parent) : QWidget(parent)
{
    picPLUEditor = new QTabWidget(this);
    picPLUEditor->setObjectName(QStringLiteral("picPLUEditor"));

    auto *itemPage = new QWidget;
    auto *itemRow = new QHBoxLayout(itemPage);
    fraItemPage = NamedGroup(itemPage, "fraItemPage");
    fraOtherPage = NamedGroup(itemPage, "fraOtherPage");
    itemRow->addWidget(fraItemPage, 3);
    itemRow->addWidget(fraOtherPage, 2);

    auto *labelPage = new QWidget;
    auto *labelRow = new QHBoxLayout(labelPage);
    fraLabelPage = NamedGroup(labelPage, "fraLabelPage");
    fraImageTextPage = NamedGroup(labelPage, "fraImageTextPage");
    labelRow->addWidget(fraLabelPage, 1);
    labelRow->addWidget(fraImageTextPage, 1);

    auto *discountPage = new QWidget;
    auto *discountRow = new QHBoxLayout(discountPage);
    fraDiscountPage = NamedGroup(discountPage, "fraDiscountPage");
    discountRow->addWidget(fraDiscountPage);

    picPLUEditor->addTab(itemPage, QStringLiteral("&Item"));
    picPLUEditor->addTab(labelPage, QStringLiteral("&Label"));
    picPLUEditor->addTab(discountPage, QStringLiteral("&Discount"));

    auto *buttons = new QVBoxLayout;
    auto make = [&](const char *name) {
        auto *b = new QPushButton(this);
        b->setObjectName(QLatin1String(name));
        buttons->addWidget(b);
        return b;
    };
    cmdNewPLU = make("cmdNewPLU");
    cmdSavePLU = make("cmdSavePLU");
    cmdDeletePLU = make("cmdDeletePLU");
    cmdUploadPLU = make("cmdUploadPLU");
    buttons->addStretch(1);

    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(4, 4, 4, 4);
    row->addWidget(picPLUEditor, 1);
    row->addLayout(buttons);
}

void PluEditorPane::setTabCaptions(const QString &item, const QString &label, const QString &discount)
{
    picPLUEditor->setTabText(0, item);
    picPLUEditor->setTabText(1, label);
    picPLUEditor->setTabText(2, discount);
}

void PluEditorPane::nextTab()
{
    const int n = picPLUEditor->count();
    if (n > 0)
        picPLUEditor->setCurrentIndex((picPLUEditor->currentIndex() + 1) % n);
}

void PluEditorPane::previousTab()
{
    const int n = picPLUEditor->count();
    if (n > 0)
        picPLUEditor->setCurrentIndex((picPLUEditor->currentIndex() + n - 1) % n);
}

int PluEditorPane::findTabByMnemonic(QChar letter) const
{
    const QChar wanted = letter.toUpper();
    if (wanted.isNull())
        return -1;
    for (int i = 0; i < picPLUEditor->count(); ++i) {
        if (TabMnemonic(picPLUEditor->tabText(i)) == wanted)
            return i;
    }
    return -1;
}

bool PluEditorPane::selectTabByMnemonic(QChar letter)
{
    const int i = findTabByMnemonic(letter);
    if (i < 0)
        return false;
    picPLUEditor->setCurrentIndex(i);
    return true;
}

void PluEditorPane::setIdle()
{
    for (QWidget *w : {static_cast<QWidget *>(fraItemPage), static_cast<QWidget *>(fraLabelPage),
                       static_cast<QWidget *>(fraImageTextPage), static_cast<QWidget *>(fraOtherPage),
                       static_cast<QWidget *>(fraDiscountPage), static_cast<QWidget *>(cmdNewPLU),
                       static_cast<QWidget *>(cmdSavePLU), static_cast<QWidget *>(cmdDeletePLU),
                       static_cast<QWidget *>(cmdUploadPLU)})
        w->setEnabled(false);
}

} // namespace korvo
