#pragma once
// Qt's own texts (the buttons of message boxes and file dialogs) in the
// program's language, from the translations the system's Qt ships.

#include <QString>

namespace korvo {

// Installs Qt's translation for a language of the settings ("Chinese",
// "Other" = Russian) and drops one installed before; "English" needs none.
// False when the system has no translation for the language.
bool InstallQtTranslations(const QString &language);

} // namespace korvo
