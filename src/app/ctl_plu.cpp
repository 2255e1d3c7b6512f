#include "app/CtlCommands.h"

#include "core/AppState.h"
#include "core/Database.h"
#include "core/PluFields.h"
#include "encoding/Hierarchy.h"
#include "manage/PluJson.h"
#include "manage/PluRecord.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTextStream>
#include <cmath>

namespace korvo {

namespace {

int usage(QTextStream &err)
{
    err << "usage: korvoctl [--data-root DIR] plu get N | plu save FILE|-" << Qt::endl;
    return 2;
}

int get(AppState &state, const QString &arg, QTextStream &out, QTextStream &err)
{
    const auto no = ParsePluNo(arg);
    if (!no) {
        err << "korvoctl plu get: \"" << arg << "\" is no PLU number from " << kPluNoMin << " to " << kPluNoMax
            << Qt::endl;
        return 2;
    }
    bool failed = false;
    const auto record = LoadPlu(state, *no, &failed);
    if (failed)
        return 1;
    if (!record) {
        err << "korvoctl plu get: PLU " << *no << " does not exist" << Qt::endl;
        return 1;
    }
    out << PluJsonText(state.pluFields, *record, PluStatusColumns(state)) << Qt::endl;
    return 0;
}

// Saves one object; the reason of a refusal goes to err, the line of the
// outcome comes back to be printed once the batch is committed.
struct Saved {
    QString line;
    bool saved = false;
};

Saved saveOne(AppState &state, const QJsonValue &value, int position, const QStringList &statusColumns,
              QTextStream &err)
{
    const QString where = QStringLiteral("object %1").arg(position);
    if (!value.isObject()) {
        err << "korvoctl plu save: " << where << ": not a JSON object" << Qt::endl;
        return {where, false};
    }
    const QJsonObject object = value.toObject();
    QJsonValue noValue;
    for (auto it = object.begin(); it != object.end(); ++it)
        if (it.key().compare(QLatin1String("PLU_No"), Qt::CaseInsensitive) == 0)
            noValue = it.value();
    QString noText = noValue.toString();
    if (noValue.isDouble()) {
        const double d = noValue.toDouble();
        noText = d == std::floor(d) && std::fabs(d) < 1e10 ? QString::number(qint64(d)) : QStringLiteral("-");
    }
    const auto no = ParsePluNo(noText);
    if (!no) {
        err << "korvoctl plu save: " << where << ": PLU_No must be a whole number from " << kPluNoMin << " to "
            << kPluNoMax << Qt::endl;
        return {where, false};
    }
    const QString plu = QStringLiteral("PLU %1").arg(*no);
    bool failed = false;
    PluRecord record = LoadPlu(state, *no, &failed).value_or(PluRecord());
    if (failed)
        return {plu, false};
    QString error;
    if (!ApplyPluJson(state.pluFields, statusColumns, object, record, &error)) {
        err << "korvoctl plu save: " << plu << ": " << error << Qt::endl;
        return {plu, false};
    }
    // Saved under its own number: an existing PLU is replaced.
    const PluSaveOutcome r = SavePlu(state, record, *no);
    if (r.status == PluSaveOutcome::Invalid)
        err << "korvoctl plu save: " << plu << ": " << r.column << ": " << r.reason << Qt::endl;
    return {plu, r.status == PluSaveOutcome::Saved};
}

int save(AppState &state, const QString &path, QTextStream &out, QTextStream &err)
{
    QFile file;
    const bool opened = path == QLatin1String("-") ? file.open(stdin, QIODevice::ReadOnly)
                                                   : (file.setFileName(path), file.open(QIODevice::ReadOnly));
    if (!opened) {
        err << "korvoctl plu save: cannot read " << path << ": " << file.errorString() << Qt::endl;
        return 1;
    }
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (doc.isNull()) {
        err << "korvoctl plu save: " << path << " is no JSON text: " << parseError.errorString() << " at offset "
            << parseError.offset << Qt::endl;
        return 1;
    }
    const QJsonArray items = doc.isArray() ? doc.array() : QJsonArray{doc.object()};
    // The main window loads these; without one, the command does.
    LoadMGSettings(state);
    LoadScaleBarcodeList(state);
    const QStringList statusColumns = PluStatusColumns(state);
    // Each PLU is saved in a savepoint of a batch: a refused one is undone
    // alone, and a batch costs one commit instead of one per PLU. The batch
    // is small enough not to keep the program waiting long for the database.
    constexpr qsizetype kBatch = 200;
    int refused = 0;
    for (qsizetype first = 0; first < items.size(); first += kBatch) {
        QVector<Saved> done;
        {
            Transaction batch(state);
            for (qsizetype i = first; i < items.size() && i < first + kBatch; ++i)
                done << saveOne(state, items.at(i), int(i + 1), statusColumns, err);
            if (!batch.commit()) {
                err << "korvoctl plu save: the batch from object " << first + 1 << " could not be committed"
                    << Qt::endl;
                for (Saved &d : done)
                    d.saved = false;
            }
        }
        for (const Saved &d : std::as_const(done)) {
            out << d.line << (d.saved ? " saved" : " not saved") << Qt::endl;
            refused += d.saved ? 0 : 1;
        }
    }
    return refused ? 1 : 0;
}

} // namespace

int CtlPlu(AppState &state, const QStringList &args)
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    if (args.size() != 2)
        return usage(err);
    if (args.at(0) == QLatin1String("get"))
        return get(state, args.at(1), out, err);
    if (args.at(0) == QLatin1String("save"))
        return save(state, args.at(1), out, err);
    return usage(err);
}

} // namespace korvo
