#include "exchange/PluExchange.h"

#include "core/AppState.h"
#include "core/Database.h"
#include "core/ErrorReporter.h"
#include "core/PluFields.h"
#include "core/UserInterface.h"
#include "core/Values.h"
#include "exchange/CsvText.h"
#include "exchange/ExchangeRows.h"

#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>

#include <climits>

namespace korvo {

using namespace exchange;

namespace {

const QString kCrLf = QStringLiteral("\r\n");

QString lineOf(const CsvRecord &rec)
{
    QString line;
    for (qsizetype i = 0; i < rec.fields.size(); ++i) {
        if (i > 0)
            line += u',';
        const CsvField &f = rec.fields.at(i);
        if (f.quoted)
            line += CsvQuote(f.text);
        else
            line += f.text;
    }
    return line;
}

// "the character "€" (U+20AC)"
QString characterName(QStringView s, qsizetype i)
{
    const char32_t code = (s.at(i).isHighSurrogate() && i + 1 < s.size() && s.at(i + 1).isLowSurrogate())
                        ? QChar::surrogateToUcs4(s.at(i), s.at(i + 1))
                        : s.at(i).unicode();
    return QStringLiteral("the character \"%1\" (U+%2)")
        .arg(QString::fromUcs4(&code, 1), QString::number(uint(code), 16).toUpper().rightJustified(4, u'0'));
}

// The first character of s that the code page cannot hold, or -1. Encoders
// substitute silently, hence the round trip.
qsizetype firstUnwritable(const QByteArray &codepage, QStringView s)
{
    bool ascii = true;
    for (const QChar c : s)
        ascii = ascii && c.unicode() < 0x80;
    if (ascii)
        return -1;
    QStringEncoder enc(codepage.constData(), QStringEncoder::Flag::Stateless);
    const QByteArray bytes = enc.encode(s);
    QStringDecoder dec(codepage.constData(), QStringDecoder::Flag::Stateless);
    if (!enc.hasError() && QString(dec.decode(bytes)) == s)
        return -1;
    for (qsizetype i = 0; i < s.size(); ++i) {
        const qsizetype len = s.at(i).isHighSurrogate() && i + 1 < s.size() ? 2 : 1;
        const QStringView ch = s.mid(i, len);
        QStringEncoder e(codepage.constData(), QStringEncoder::Flag::Stateless);
        const QByteArray b = e.encode(ch);
        QStringDecoder d(codepage.constData(), QStringDecoder::Flag::Stateless);
        if (e.hasError() || b.isEmpty() || QString(d.decode(b)) != ch)
            return i;
        i += len - 1;
    }
    return -1;
}

} // namespace

QString ProposedExportName(const QString &address, const QDateTime &now)
{
    return QStringLiteral("PLU") + address + u'_' + now.toString(QStringLiteral("yyyyMMdd")) + u'_'
         + now.toString(QStringLiteral("HHmmss")) + QStringLiteral(".CSV");
}

ExportResult ExportReceivedPLUs(AppState &state, const QString &address, const QString &path)
{
    ExportResult result;
    UserInterface *ui = state.ui;
    auto fail = [&](const QString &why) {
        if (ui)
            ui->progressEnd();
        result.ok = false;
        result.error = why;
        state.errorSource = QStringLiteral("WriteZentScaleFile(") + path + u')';
        ReportError(state, why + QStringLiteral(" No file was written."));
        return result;
    };
    const QStringList columns = CsvColumnList(state);
    if (columns.isEmpty())
        return fail(QStringLiteral("The descriptor files cannot be read."));
    const QByteArray codepage = codepageName(state).toLatin1();
    if (!QStringEncoder(codepage.constData()).isValid())
        return fail(QStringLiteral("The code page \"%1\" of the settings is unknown.")
                        .arg(QString::fromLatin1(codepage)));

    ReceivedLines rows(state, columns, address);
    CsvRecord rec;
    if (!rows.next(rec)) // the header
        return fail(rows.error());
    const qint64 total = rows.expected() - 1;
    if (total <= 0) {
        rows.finish();
        return result; // no rows: no file
    }

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fail(QStringLiteral("The file cannot be written: ") + file.errorString());
    QStringEncoder enc(codepage.constData(), QStringEncoder::Flag::Stateless);
    file.write(enc.encode(columns.join(u',') + kCrLf));

    const ProgressCaption caption(state, "msgExportPLUToCSV", path, total);
    if (ui)
        ui->progressBegin(caption(0), int(qMin<qint64>(total, INT_MAX)));
    qint64 k = 0;
    QString line;
    while (rows.next(rec)) {
        ++k;
        line = lineOf(rec);
        if (const qsizetype bad = firstUnwritable(codepage, line); bad >= 0) {
            // Name the value the character sits in.
            qsizetype pos = 0;
            int column = 0;
            for (; column < rec.fields.size(); ++column) {
                const CsvField &f = rec.fields.at(column);
                const qsizetype len = (f.quoted ? CsvQuote(f.text).size() : f.text.size()) + 1;
                if (bad < pos + len)
                    break;
                pos += len;
            }
            rows.finish();
            file.cancelWriting();
            return fail(QStringLiteral("PLU %1, column %2: %3 cannot be written in the code page \"%4\".")
                            .arg(rec.fields.at(0).text.toString(), columns.value(column),
                                 characterName(line, bad), QString::fromLatin1(codepage)));
        }
        line += kCrLf;
        file.write(enc.encode(line));
        if (ui && k % 10 == 0)
            ui->progressStep(int(qMin<qint64>(k, INT_MAX)), caption(k));
    }
    if (!rows.error().isEmpty()) {
        file.cancelWriting();
        return fail(QStringLiteral("The received PLUs cannot be read: ") + rows.error());
    }
    if (!file.commit())
        return fail(QStringLiteral("The file cannot be written: ") + file.errorString());
    result.ok = true;
    result.rows = int(k);
    if (ui)
        ui->progressFinish(text(state, "msgExportPLUToCSVSuccess"));
    return result;
}

bool ExportReceivedPLUsToCSV(AppState &state)
{
    UserInterface *ui = state.ui;
    if (!ui)
        return false;
    const ScaleChoice choice = ui->chooseScales(-1, false);
    if (choice.cancelled || choice.addresses.isEmpty())
        return true;
    const QString address = choice.addresses.first();
    const QString path = ui->saveFileName(text(state, "msgExportPLUToCSV"), QStringLiteral("CSV (*.csv)|*.csv"),
                                          ProposedExportName(address, state.now()));
    if (path.trimmed().isEmpty())
        return true;
    const ExportResult r = ExportReceivedPLUs(state, address, path);
    if (!r.ok && r.error.isEmpty()) {
        ui->message(text(state, "msgNoReceivedPLUs") + u' ' + address, AppState::appTitle(),
                    MsgIcon::Exclamation, MsgButtons::Ok, MsgResult::Ok);
    }
    return r.ok;
}

} // namespace korvo
