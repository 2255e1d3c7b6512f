#pragma once
// The shop's scales as the scale configuration edits them: the scales
// (SCALE), the sections they belong to (SCALE_SECT) and the departments
// each section serves (DEPT_SECT). Read whole, checked whole, written whole
// in one transaction.

#include <QSet>
#include <QString>
#include <QVector>
#include <optional>

namespace korvo {

class AppState;

struct ScaleRow {
    QString address;     // SC_IP
    QString description; // SC_Dest
    qint32 section = 0;  // SECT_No
    bool used = true;    // SC_Used
};

struct SectionRow {
    qint32 no = 0;       // SECT_No
    QString name;        // SECT_Name
    QSet<qint32> depts;  // DEPT_No of its DEPT_SECT rows
};

struct ScaleSetup {
    QVector<ScaleRow> scales;
    QVector<SectionRow> sections;
    // The first section number not taken, from 1.
    qint32 freeSectionNo() const;
};

// Why a setup cannot be stored: a language key of frmScaleConfig and the
// scale or section row it is about.
struct SetupProblem {
    enum class Where { Scale, Section };
    Where where = Where::Scale;
    int row = 0;
    QString key; // msgBadAddress, msgDuplicateAddress, msgNoSection, msgDuplicateSection, msgNoSectionName
};

bool LoadScaleSetup(AppState &state, ScaleSetup &out);
// The first problem in row order, none when the setup can be stored.
std::optional<SetupProblem> CheckScaleSetup(const ScaleSetup &setup);
// Replaces the three tables' rows; addresses are stored in their plain
// form (no leading zeros). Nothing changes when a step fails.
bool SaveScaleSetup(AppState &state, const ScaleSetup &setup);

} // namespace korvo
