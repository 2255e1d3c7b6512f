#pragma once
// frmEditText: edits one long text of a PLU (name, ingredients, special
// message) as up to 20 lines, each with a scale font, limited as
// TextEditModel says. The position is kept in the per-user store.

#include "manage/TextEditModel.h"

#include <QDialog>
#include <QVector>

class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;

namespace korvo {

class AppState;

class EditTextDialog : public QDialog {
    Q_OBJECT
public:
    EditTextDialog(AppState &state, QWidget *parent = nullptr);

    // Loads the exchange text into the rows.
    void load(const QString &exchange);
    bool cancelled() const { return m_cancelled; }
    QString exchangeText() const { return m_model.exchangeText(); }

    int rowCount() const { return int(m_rows.size()); }
    QLineEdit *contents(int row) const { return m_rows.value(row).text; }
    QComboBox *font(int row) const { return m_rows.value(row).font; }

    QPushButton *cmdOK = nullptr;
    QPushButton *cmdCancel = nullptr;

public slots:
    void done(int result) override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Row {
        QLabel *number = nullptr;
        QLineEdit *text = nullptr;
        QComboBox *font = nullptr;
    };
    void syncRows();
    void addRow();
    void rowEdited(QLineEdit *box);
    void fontChosen(QComboBox *box, int font);
    void enterInRow(QLineEdit *box);
    int rowOf(const QWidget *w) const;
    void ok();

    AppState &m_state;
    TextEditModel m_model;
    QVector<Row> m_rows;
    QGridLayout *m_grid = nullptr;
    bool m_cancelled = true;
};

// EditText: the exchange text after editing, or the given one when the
// operator cancels.
QString EditText(AppState &state, QWidget *parent, const QString &exchange);

} // namespace korvo
