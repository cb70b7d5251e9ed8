// The window as a technician meets it on a Linux desktop: prompts that take the keyboard at once, Qt's own
// texts in Portuguese with the tool's texts untouched, and standard dialogs and menus that the window's style
// sheet does not paint over.

#include "app/qttranslations.h"
#include "app/standardwindows.h"
#include "forms/dialog.h"
#include "forms/dialog2.h"
#include "forms/dialog3.h"
#include "windowfixture.h"

#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QMenu>
#include <QMetaProperty>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QTranslator>
#include <QXmlStreamReader>

#include <functional>
#include <map>

using Call = SatDouble::Call;

namespace {

// Types where the keyboard focus is once the prompt is up, as a technician would, then presses Enter.
ModalAnswerer::Action typeWhereTheFocusIs(const QString& text)
{
    return [text](QWidget* prompt) {
        const auto focusInPrompt
            = [prompt] { return QApplication::focusWidget() && QApplication::focusWidget()->window() == prompt; };
        if (!QTest::qWaitFor(focusInPrompt, 2000)) {
            qobject_cast<QDialog*>(prompt)->reject();
            QFAIL("the prompt has no keyboard focus");
        }
        QWidget* focus = QApplication::focusWidget();
        QTest::keyClicks(focus, text);
        QTest::keyClick(focus, Qt::Key_Return);
    };
}

QString withoutMnemonic(QString text)
{
    return text.remove(QLatin1Char('&'));
}

// The widgets, of the window and its children, that a style sheet paints: a sheet's background becomes the
// widget's palette brush in place of the platform's.
QStringList paintedBySheet(QWidget* window)
{
    QList<QWidget*> widgets = window->findChildren<QWidget*>();
    widgets.prepend(window);
    QStringList painted;
    for (QWidget* widget : widgets) {
        widget->ensurePolished();
        const QPalette own = widget->palette();
        const QPalette platform = QApplication::palette(widget);
        bool same = true;
        for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
            for (QPalette::ColorRole role : {QPalette::Window, QPalette::Base, QPalette::Button})
                same = same && own.brush(group, role) == platform.brush(group, role);
        }
        if (!same)
            painted.append(QStringLiteral("%1 %2").arg(widget->metaObject()->className(), widget->objectName()));
    }
    return painted;
}

// The objects a Designer form names: the tool's own, as opposed to the parts Qt's widgets make for themselves
// (a tab bar's scroll buttons, whose texts Qt's catalogue translates on purpose).
QSet<QString> objectsOfForm(const QString& form)
{
    QFile file(QStringLiteral(SAT_FORMS_DIR "/") + form);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(file.fileName()));
    QSet<QString> names;
    QXmlStreamReader reader(&file);
    while (!reader.atEnd()) {
        if (reader.readNext() == QXmlStreamReader::StartElement
            && (reader.name() == u"widget" || reader.name() == u"action" || reader.name() == u"layout"))
            names.insert(reader.attributes().value(QStringLiteral("name")).toString());
    }
    if (reader.hasError() || names.isEmpty())
        qFatal("cannot read the objects of %s", qPrintable(form));
    return names;
}

// The first entry that differs, for the failure message; empty when both are the same.
QString firstDifference(const std::map<QString, QString>& expected, const std::map<QString, QString>& actual)
{
    for (const auto& [key, value] : expected) {
        const auto found = actual.find(key);
        if (found == actual.end())
            return key + " is missing";
        if (found->second != value)
            return QStringLiteral("%1: \"%2\" became \"%3\"").arg(key, value, found->second);
    }
    return actual.size() == expected.size() ? QString() : QStringLiteral("more texts than before");
}

// Every text-valued property of every object of the form, and the items of selectors and tabs, by object.
std::map<QString, QString> textsOf(QObject* root, const QString& form)
{
    const QSet<QString> named = objectsOfForm(form);
    std::map<QString, QString> texts;
    QList<QObject*> objects = root->findChildren<QObject*>();
    objects.prepend(root);
    for (QObject* object : objects) {
        if (!named.contains(object->objectName()))
            continue;
        const QString prefix = object->objectName() + QLatin1Char('.');
        const QMetaObject* meta = object->metaObject();
        for (int i = 0; i < meta->propertyCount(); ++i) {
            const QMetaProperty property = meta->property(i);
            const int type = property.metaType().id();
            if (type == QMetaType::QString || type == QMetaType::QStringList)
                texts[prefix + property.name()] = property.read(object).toStringList().join(QLatin1Char('|'));
        }
        if (auto* combo = qobject_cast<QComboBox*>(object)) {
            for (int i = 0; i < combo->count(); ++i)
                texts[prefix + QStringLiteral("item%1").arg(i)] = combo->itemText(i);
        }
        if (auto* tabs = qobject_cast<QTabWidget*>(object)) {
            for (int i = 0; i < tabs->count(); ++i)
                texts[prefix + QStringLiteral("tab%1").arg(i)] = tabs->tabText(i);
        }
    }
    return texts;
}

// Qt's catalogue where main() finds it; the package is one of the tool's run dependencies.
void installQtsCatalogue()
{
    if (!installQtTranslations(*qApp, qtTranslationsFolder()))
        qFatal("no qtbase_pt_BR.qm in %s: install qt6-translations-l10n", qPrintable(qtTranslationsFolder()));
}

void removeTranslators()
{
    for (QTranslator* translator : qApp->findChildren<QTranslator*>()) {
        QCoreApplication::removeTranslator(translator);
        delete translator;
    }
}

} // namespace

class TestDesktop : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<WindowFixture> f;

    // The file dialog of "Venda", looked at while open and then cancelled, and the command's prompt dismissed.
    void lookAtTheSaleFileDialog(std::function<void(QFileDialog*)> look)
    {
        f->modal.then([look](QWidget* window) {
            auto* dialog = qobject_cast<QFileDialog*>(window);
            QVERIFY2(dialog, "expected the file dialog");
            look(dialog);
            dialog->reject();
        });
        f->modal.then(ModalAnswerer::typeAndEscape(QString()));
        f->click("Vende");
    }

    // Opens the context menu of the text area as a right click does, and closes it after looking at it.
    void lookAtTheContextMenu(const char* textArea, std::function<void(QMenu*)> look)
    {
        QTextEdit* edit = f->widget<QTextEdit>(textArea);
        f->window->show();
        QVERIFY(QTest::qWaitForWindowExposed(f->window.get()));
        QWidget* viewport = edit->viewport();
        const QPoint at(10, 10);
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, viewport->mapToGlobal(at));
        QApplication::sendEvent(viewport, &event);
        QTRY_VERIFY(qobject_cast<QMenu*>(QApplication::activePopupWidget()));
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        look(menu);
        menu->close();
    }

private slots:
    void initTestCase()
    {
        // As main() does.
        keepStandardWindowsNative(*qApp);
    }

    void init()
    {
        f = std::make_unique<WindowFixture>();
        QVERIFY(f->dir.isValid());
    }

    void cleanup()
    {
        QVERIFY2(f->modal.unexpected.isEmpty(), qPrintable(f->modal.unexpected.join(", ")));
        QCOMPARE(f->modal.pendingActions(), 0);
        f.reset();
        removeTranslators();
    }

    // --- Prompts take the keyboard -------------------------------------------

    void promptsTakeTypedKeysWithoutAClick_data()
    {
        QTest::addColumn<QByteArray>("button");
        QTest::addColumn<bool>("choosesFile");
        QTest::addColumn<QStringList>("typed");
        QTest::addColumn<QByteArray>("function");
        QTest::addColumn<QList<QByteArray>>("sent"); // the call's arguments after the session number

        QTest::newRow("activation code (Dialog)")
            << QByteArray("pushButton_3") << false << QStringList {"treino123"}
            << QByteArray("ConsultarStatusOperacional") << QList<QByteArray> {"treino123"};
        QTest::newRow("session number (Dialog2)")
            << QByteArray("pushButton_4") << false << QStringList {"42", "treino123"}
            << QByteArray("ConsultarNumeroSessao") << QList<QByteArray> {"treino123", "42"};
        QTest::newRow("key (Dialog3)") << QByteArray("cancelavenda") << true
                                       << QStringList {"CFe35261244555666000181590000000010000010000017", "treino123"}
                                       << QByteArray("CancelarUltimaVenda")
                                       << QList<QByteArray> {"treino123",
                                                             "CFe35261244555666000181590000000010000010000017"};
    }

    void promptsTakeTypedKeysWithoutAClick()
    {
        QFETCH(QByteArray, button);
        QFETCH(bool, choosesFile);
        QFETCH(QStringList, typed);
        QFETCH(QByteArray, function);
        QFETCH(QList<QByteArray>, sent);
        if (choosesFile)
            f->modal.then(ModalAnswerer::chooseFile(f->writeFile("cancelamento.xml", "<CFeCanc/>")));
        for (const QString& text : typed)
            f->modal.then(typeWhereTheFocusIs(text));
        f->click(button.constData());

        const QList<Call> calls = SatDouble::calls();
        QCOMPARE(calls.size(), 1);
        QCOMPARE(calls.first().function, function);
        QCOMPARE(calls.first().arguments.mid(1, sent.size()), sent);
    }

    // --- Qt's texts in Portuguese, the tool's as written ----------------------

    void theSaleFileDialogSpeaksPortuguese()
    {
        installQtsCatalogue();
        f = std::make_unique<WindowFixture>(); // built after the catalogue, as main() does
        lookAtTheSaleFileDialog([](QFileDialog* dialog) {
            auto* buttons = dialog->findChild<QDialogButtonBox*>();
            QVERIFY(buttons);
            QAbstractButton* cancel = buttons->button(QDialogButtonBox::Cancel);
            QVERIFY(cancel);
            QCOMPARE(withoutMnemonic(cancel->text()), QStringLiteral("Cancelar"));
            // The tool's own caption and filter are not Qt's to translate.
            QCOMPARE(dialog->windowTitle(), QStringLiteral("Open XML File"));
            QCOMPARE(dialog->nameFilters(), QStringList {QStringLiteral("XML Files (*.xml)")});
        });
    }

    void theTextAreasMenuSpeaksPortuguese()
    {
        installQtsCatalogue();
        lookAtTheContextMenu("Com", [](QMenu* menu) {
            QStringList texts;
            for (QAction* action : menu->actions()) {
                if (!action->isSeparator())
                    texts.append(withoutMnemonic(action->text()));
            }
            QVERIFY(!texts.isEmpty());
            for (const char* english : {"Undo", "Redo", "Cut", "Copy", "Paste", "Delete", "Select All"})
                QVERIFY2(!texts.contains(QLatin1String(english)), qPrintable(texts.join(", ")));
        });
    }

    void theToolsOwnTextsStayAsWritten()
    {
        const std::map<QString, QString> window = textsOf(f->window.get(), "mainwindow.ui");
        QCOMPARE(window.at("MainWindow.windowTitle"),
                 QString::fromUtf8("Tovira Comandos Ativação S@T-CFe Versão 01.01.00"));
        QCOMPARE(window.at("Vende.text"), QStringLiteral("Venda"));
        Dialog code;
        Dialog2 session;
        Dialog3 key;
        const std::map<QString, QString> prompts[]
            = {textsOf(&code, "dialog.ui"), textsOf(&session, "dialog2.ui"), textsOf(&key, "dialog3.ui")};
        f->modal.clear();
        SatDouble::reset();
        f->click("pushButton_2");
        QCOMPARE(f->modal.boxes.size(), 1);
        const QString boxTitle = f->modal.boxes.first().title;

        installQtsCatalogue();
        f = std::make_unique<WindowFixture>();
        QCOMPARE(firstDifference(window, textsOf(f->window.get(), "mainwindow.ui")), QString());
        Dialog translatedCode;
        Dialog2 translatedSession;
        Dialog3 translatedKey;
        QCOMPARE(firstDifference(prompts[0], textsOf(&translatedCode, "dialog.ui")), QString());
        QCOMPARE(firstDifference(prompts[1], textsOf(&translatedSession, "dialog2.ui")), QString());
        QCOMPARE(firstDifference(prompts[2], textsOf(&translatedKey, "dialog3.ui")), QString());
        QCOMPARE(translatedSession.windowTitle(), QStringLiteral("Dialog"));
        QCOMPARE(translatedKey.windowTitle(), QStringLiteral("Dialog"));
        f->click("pushButton_2");
        QCOMPARE(f->modal.boxes.size(), 1);
        QCOMPARE(f->modal.boxes.first().title, boxTitle);
    }

    void withoutTheCatalogueTheToolStartsAsBefore()
    {
        QVERIFY(!installQtTranslations(*qApp, f->dir.path()));
        QVERIFY(qApp->findChildren<QTranslator*>().isEmpty());
        f = std::make_unique<WindowFixture>();
        f->window->show();
        QVERIFY(QTest::qWaitForWindowExposed(f->window.get()));
        QCOMPARE(f->window->windowTitle(), QString::fromUtf8("Tovira Comandos Ativação S@T-CFe Versão 01.01.00"));
        lookAtTheSaleFileDialog([](QFileDialog* dialog) {
            QAbstractButton* cancel = dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel);
            QCOMPARE(withoutMnemonic(cancel->text()), QStringLiteral("Cancel"));
        });
    }

    // --- Standard windows keep the platform's look ---------------------------

    void theWindowItselfKeepsItsSheet()
    {
        QCOMPARE(f->window->styleSheet(),
                 QStringLiteral("background-color: qconicalgradient(cx:0, cy:0.449, angle:91.217, stop:0 rgba(19, 34, "
                                "0, 255), stop:1 rgba(255, 255, 255, 255));"));
        QVERIFY(paintedBySheet(f->window.get()).contains(QStringLiteral("MainWindow MainWindow")));
    }

    void messageBoxesAreNotPaintedOver()
    {
        QStringList painted {QStringLiteral("not looked at")};
        QWidget* parent = nullptr;
        f->modal.beforeClosingBox = [&](QMessageBox* box) {
            painted = paintedBySheet(box);
            parent = box->parentWidget();
        };
        f->click("pushButton_2");
        QCOMPARE(f->modal.boxes.size(), 1);
        QCOMPARE(parent, f->window.get()); // still opened over the window, not moved out from under its sheet
        QVERIFY2(painted.isEmpty(), qPrintable(painted.join(", ")));
    }

    void theFileDialogIsNotPaintedOver()
    {
        QStringList painted {QStringLiteral("not looked at")};
        lookAtTheSaleFileDialog([&](QFileDialog* dialog) {
            QCOMPARE(dialog->parentWidget(), f->window.get());
            QVERIFY(dialog->findChild<QComboBox*>(QStringLiteral("lookInCombo")));
            painted = paintedBySheet(dialog);
        });
        QVERIFY2(painted.isEmpty(), qPrintable(painted.join(", ")));
    }

    void contextMenusAreNotPaintedOver_data()
    {
        QTest::addColumn<QByteArray>("textArea");
        QTest::newRow("Com, no sheet of its own") << QByteArray("Com");
        QTest::newRow("textEdit_2, a white sheet of its own") << QByteArray("textEdit_2");
    }

    void contextMenusAreNotPaintedOver()
    {
        QFETCH(QByteArray, textArea);
        QStringList painted {QStringLiteral("not looked at")};
        lookAtTheContextMenu(textArea.constData(), [&](QMenu* menu) { painted = paintedBySheet(menu); });
        QVERIFY2(painted.isEmpty(), qPrintable(painted.join(", ")));
    }

    void aWindowOfOurOwnCanKeepThePlatformLook()
    {
        QWidget own(f->window.get(), Qt::Window);
        own.resize(200, 100);
        keepNativeLook(&own);
        own.show();
        QVERIFY(paintedBySheet(&own).isEmpty());

        // One that chose a sheet of its own keeps it.
        QWidget styled(f->window.get(), Qt::Window);
        styled.setStyleSheet(QStringLiteral("color: red;"));
        keepNativeLook(&styled);
        QCOMPARE(styled.styleSheet(), QStringLiteral("color: red;"));
    }
};

QTEST_MAIN(TestDesktop)
#include "tst_desktop.moc"
