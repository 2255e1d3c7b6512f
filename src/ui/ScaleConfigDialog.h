#pragma once
// frmScaleConfig: where a shop sets up its scales. Sections with the
// departments each serves, and the scales with address, description,
// section and whether they are in use. "Test connection" greets the chosen
// scale through the scale communication component. Nothing is stored
// before OK; OK checks everything (IPv4 addresses, each once; a section for
// every scale; section names) and stores it in one transaction.

#include "comm/ScaleSetup.h"

#include <QDialog>

class QLabel;
class QListWidget;
class QPushButton;
class QTableWidget;

namespace korvo {

class AppState;

class ScaleConfigDialog : public QDialog {
    Q_OBJECT
public:
    explicit ScaleConfigDialog(AppState &state, QWidget *parent = nullptr);

    void Show() { exec(); }
    bool cancelled() const { return m_cancelled; }

    enum ScaleColumn { ColAddress, ColDescription, ColSection, ColUsed, ScaleColumns };
    enum SectionColumn { ColSectNo, ColSectName, SectionColumns };

    QLabel *lblSections = nullptr;
    QTableWidget *tblSections = nullptr;
    QPushButton *cmdAddSection = nullptr;
    QPushButton *cmdDeleteSection = nullptr;
    QLabel *lblDepts = nullptr;
    QListWidget *lstDepts = nullptr;
    QLabel *lblScales = nullptr;
    QTableWidget *tblScales = nullptr;
    QPushButton *cmdAddScale = nullptr;
    QPushButton *cmdDeleteScale = nullptr;
    QPushButton *cmdTestConnection = nullptr;
    QLabel *lblTestResult = nullptr;
    QPushButton *cmdOK = nullptr;
    QPushButton *cmdCancel = nullptr;

    // The setup as the controls show it now.
    ScaleSetup setup() const;

private:
    void buildControls();
    void showSetup();
    void addSectionRow(const SectionRow &s);
    void addScaleRow(const ScaleRow &r);
    void refreshSectionChoices();
    void showDepts();
    void deleteSection();
    void testConnection();
    void ok();
    QString text(const char *key) const;

    AppState &m_state;
    ScaleSetup m_setup; // sections' departments live here; the rest in the tables
    bool m_cancelled = true;
    bool m_showing = false;
};

} // namespace korvo
