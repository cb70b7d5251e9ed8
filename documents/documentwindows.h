#pragma once

/*
 * The windows around a sale's documents, opened from the main window's "Gerais" tab: "Verificar XML" (every fault
 * of a document by the layout's rules) and, for the run, the form of a test sale.
 *
 * Like the results window, they are top-level windows with no widget parent, so that the main window's style sheet
 * does not cascade into them; DocumentWindows, a child object of the main window found or made on first use, owns
 * them. They live as long as the main window: what the form holds is remembered for the run, and nothing is
 * written to disk but the files the user saves.
 */

#include <QObject>

#include <memory>

class DocumentCheckWindow;
class QWidget;
class TestSaleWindow;

class DocumentWindows : public QObject {
    Q_OBJECT

public:
    static DocumentWindows* of(QWidget* mainWindow);
    ~DocumentWindows() override;

    // Made on first use.
    DocumentCheckWindow* checkWindow();
    TestSaleWindow* testSaleWindow();

private:
    explicit DocumentWindows(QWidget* mainWindow);

    std::unique_ptr<DocumentCheckWindow> check;
    std::unique_ptr<TestSaleWindow> testSale;
};
