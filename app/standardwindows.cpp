#include "app/standardwindows.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QMenu>
#include <QWidget>

namespace {

bool inheritsStyleSheet(const QWidget* window)
{
    for (const QWidget* ancestor = window->parentWidget(); ancestor; ancestor = ancestor->parentWidget()) {
        if (!ancestor->styleSheet().isEmpty())
            return true;
    }
    return false;
}

class StandardWindowWatcher : public QObject {
public:
    using QObject::QObject;

protected:
    // Polish comes before the window's first paint and before its children are polished.
    bool eventFilter(QObject* object, QEvent* event) override
    {
        if (event->type() == QEvent::Polish && object->isWidgetType()) {
            auto* widget = static_cast<QWidget*>(object);
            if (widget->isWindow() && (qobject_cast<QDialog*>(widget) || qobject_cast<QMenu*>(widget)))
                keepNativeLook(widget);
        }
        return false;
    }
};

} // namespace

void keepStandardWindowsNative(QApplication& application)
{
    application.installEventFilter(new StandardWindowWatcher(&application));
}

void keepNativeLook(QWidget* window)
{
    if (window && window->styleSheet().isEmpty() && inheritsStyleSheet(window))
        window->setStyleSheet(QStringLiteral("background: none;"));
}
