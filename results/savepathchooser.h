#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

// Asks where to save: returns the chosen path, or an empty string when the user gave up. selectedFilter, when
// not null, receives the filter the user picked. Views take one so tests can answer without a file dialog.
using SavePathChooser = std::function<QString(QWidget* parent, const QString& title, const QString& suggestedPath,
                                              const QStringList& filters, QString* selectedFilter)>;

// The file dialog.
SavePathChooser dialogSavePathChooser();
