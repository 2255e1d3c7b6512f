#pragma once
// The OK/Cancel row of the program's dialogs: buttons named cmdOK and
// cmdCancel (their captions come from the language texts), OK the default,
// both at the right.

#include <QHBoxLayout>
#include <QPushButton>

namespace korvo {

inline QHBoxLayout *OkCancelRow(QWidget *dialog, QPushButton *&ok, QPushButton *&cancel)
{
    ok = new QPushButton(dialog);
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setDefault(true);
    cancel = new QPushButton(dialog);
    cancel->setObjectName(QStringLiteral("cmdCancel"));
    auto *row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(ok);
    row->addWidget(cancel);
    return row;
}

} // namespace korvo
