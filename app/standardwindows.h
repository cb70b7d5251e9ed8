#pragma once

/*
 * A style sheet set on a widget cascades to all its descendants, and Qt's standard dialogs and menus are
 * descendants of the window they are opened over (QMessageBox::critical(this, ...), QFileDialog, a text area's
 * context menu): the main window's gradient would paint them too, turning the file dialog's boxes black and
 * the menus' texts unreadable.
 *
 * What stops it is Qt's conflict rule for cascading sheets: a widget's own style sheet is preferred to any
 * inherited one, irrespective of the specificity of the rules. Such a window gets a sheet of its own,
 * "background: none", which sets no brush, so neither it nor its children paint a background of the sheet and
 * the platform style draws them as it would anywhere else. The window's own sheet text and properties are
 * left as they are.
 */

class QApplication;
class QWidget;

// Every QDialog and QMenu that opens below a widget with a style sheet gets the platform's look, unless it
// has a style sheet of its own. The watcher is owned by the application.
void keepStandardWindowsNative(QApplication& application);

// The same for one window of our own that is parented to a styled window (a separate top-level window,
// for instance). Does nothing to a window that has a style sheet of its own.
void keepNativeLook(QWidget* window);
