#pragma once
// frmAbout: caption, version line, libraries, the data root with its
// databases, and the system information (this platform has no separate
// system-information tool to start). Copy puts it all on the clipboard.

#include "tools/AboutInfo.h"

#include <QDialog>

class QLabel;
class QPushButton;

namespace korvo {

class AppState;

class AboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit AboutDialog(AppState &state, QWidget *parent = nullptr);

    const AboutInfo &info() const { return m_info; }

    QLabel *lblVersion = nullptr;
    QPushButton *cmdCopy = nullptr;
    QPushButton *cmdOK = nullptr;

private:
    AboutInfo m_info;
};

} // namespace korvo
