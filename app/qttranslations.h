#pragma once

class QCoreApplication;
class QString;

// Installs Qt's own catalogue for Brazilian Portuguese (qtbase_pt_BR.qm: the file dialog, the message boxes'
// buttons, the text areas' context menus) from the folder, owned by the application. The tool's own texts are
// not in it and stay as written. Returns false, installing nothing, when the folder has no such catalogue.
bool installQtTranslations(QCoreApplication& application, const QString& folder);

// Where Qt keeps its catalogues (QLibraryInfo::TranslationsPath).
QString qtTranslationsFolder();
