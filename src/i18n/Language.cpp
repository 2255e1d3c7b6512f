#include "i18n/Language.h"

#include "core/AppState.h"
#include "core/Database.h"
#include "core/ErrorReporter.h"
#include "core/IniFile.h"
#include "core/Values.h"

#include <QSqlQuery>
#include <QVariant>

namespace korvo {

namespace {

// The language columns of tbl_LANGUAGE; anything else would put a foreign
// name into the SQL text.
QString languageColumn(const QString &setting)
{
    for (const char *name : {"English", "Chinese", "Other"}) {
        if (setting.compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
            return QLatin1String(name);
    }
    return {};
}

} // namespace

bool LoadLanguageTexts(AppState &state)
{
    LanguageCache cache;
    cache.column = languageColumn(state.settings.Language);
    if (cache.column.isEmpty())
        cache.column = QStringLiteral("English");
    // Marked loaded even when the query fails: the failure is reported once
    // here, and every text asked for afterwards is reported as missing
    // instead of retrying the database for each one.
    cache.loaded = true;

    // All rows at once, filtered here so that the owner's name matches
    // without regard to case whatever the column's collation.
    const QString sql = QStringLiteral("select [ID], [E_NAME], [Caption], [%1] from [tbl_LANGUAGE] order by [ID]")
                            .arg(cache.column);
    auto q = QueryDb(state, DbKind::Language, sql, QStringLiteral("LoadLanguageTexts"));
    if (!q) {
        state.language = std::move(cache);
        return false;
    }
    const QString owner = AppState::exeName() + QStringLiteral(".EXE");
    while (q->next()) {
        if (q->value(1).toString().compare(owner, Qt::CaseInsensitive) != 0)
            continue;
        const QString caption = q->value(2).toString().toUpper();
        if (caption.isEmpty() || cache.ids.contains(caption))
            continue; // the first row of a caption answers, as a lookup would
        cache.ids.insert(caption, q->value(0).toInt());
        const QVariant text = q->value(3);
        if (!text.isNull())
            cache.texts.insert(caption, text.toString());
    }
    state.language = std::move(cache);
    return true;
}

QString GetLangString(AppState &state, const QString &owner, const QString &key)
{
    if (!state.language.loaded)
        LoadLanguageTexts(state);
    const QString caption = owner + QLatin1Char('.') + key;
    const auto it = state.language.texts.constFind(caption.toUpper());
    if (it != state.language.texts.constEnd())
        return it->isNull() ? QStringLiteral("") : *it;

    state.errorSource = QStringLiteral("GetLangString (") + owner + QStringLiteral(", ") + key
                        + QLatin1Char(')');
    ReportError(state, QStringLiteral("No text for %1 in %2").arg(caption, state.language.column));
    state.missingTexts.insert(caption);
    return QStringLiteral("");
}

QStringList SplitItemList(const QString &text)
{
    // CR LF is the separator; a lone LF or CR (texts edited elsewhere) counts too.
    QString lines = text;
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QStringList items;
    for (const QString &line : lines.split(QLatin1Char('\n'))) {
        const QString item = line.trimmed();
        if (!item.isEmpty())
            items.append(item);
    }
    return items;
}

qint32 ComboItemValue(const QString &item)
{
    const qsizetype colon = item.indexOf(QLatin1Char(':'));
    return PrefixToInt32(colon < 0 ? item : item.left(colon));
}

void WriteLanguageSetting(AppState &state, const QString &language)
{
    const QString column = languageColumn(language);
    if (column.isEmpty()) {
        state.errorSource = QStringLiteral("WriteLanguageSetting (") + language + QLatin1Char(')');
        ReportError(state, QStringLiteral("\"%1\" is no language of this program").arg(language));
        return;
    }
    if (!WriteIniString(QStringLiteral("Setting"), QStringLiteral("Language"), column, state.iniFile)) {
        state.errorSource = QStringLiteral("WriteLanguageSetting (") + language + QLatin1Char(')');
        ReportError(state, QStringLiteral("Cannot write the settings file %1").arg(state.iniFile));
    }
}

} // namespace korvo
