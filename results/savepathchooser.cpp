#include "savepathchooser.h"

#include <QFileDialog>

SavePathChooser dialogSavePathChooser()
{
    return [](QWidget* parent, const QString& title, const QString& suggestedPath, const QStringList& filters,
              QString* selectedFilter) {
        return QFileDialog::getSaveFileName(parent, title, suggestedPath, filters.join(QStringLiteral(";;")),
                                            selectedFilter);
    };
}
