#pragma once

#include "saledraft.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QWidget>

#include <functional>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

// "Venda de teste": a sale for this shop, composed field by field. Every change checks the whole document by the
// layout's rules (saledraft.h): a field in error turns red and its tooltip says why, and the line under the form
// names the first fault. "Salvar..." writes the document where the user chooses; "Venda" hands it to the main
// window's sale, which sends it as the "Venda" command sends a file. Neither runs while a fault remains.
//
// The window lives for the run: it keeps what was typed until the tool closes, and writes nothing on its own.
class TestSaleWindow : public QWidget {
    Q_OBJECT

public:
    using Sender = std::function<void(const QByteArray& document)>;

    explicit TestSaleWindow(QWidget* parent = nullptr);

    // What runs the sale of a checked document.
    void setSender(Sender send) { sender = std::move(send); }

    // The values typed in the "Associar Assinatura" tab: each replaces the form's own when it is not empty and it
    // changed since it was last offered, so that what was typed here is kept while the tab stays the same.
    void offerAssociation(const QString& taxpayerCnpj, const QString& softwareHouseCnpj, const QString& signatureText);

    satresults::SaleDraft draft() const;
    QList<satresults::DraftFault> faults() const { return found; }

private:
    void build();
    QLineEdit* lineEdit(const char* name, const QString& help);
    QComboBox* comboBox(const char* name, const QList<satresults::Choice>& choices, const QString& help);

    void selectItem(int row);
    void loadItem();
    void storeItem();
    void fillIcmsChoices();
    void enableItemFields();
    void updateItemRow(int row);
    void addItem();
    void removeItem();
    void addPayment(const QString& amount);
    void removePayment();
    void regimeChanged();

    // Checks the draft and shows what was found.
    void refresh();
    void mark(QWidget* field, const QString& fault);

    void save();
    void sell();
    // True when there is nothing to refuse; otherwise a box titled `title` lists the faults.
    bool readyFor(const QString& title, const QString& refusal);

    Sender sender;
    QHash<QString, QString> offered;
    QString folder;
    bool loading = false;

    QList<satresults::SaleItemDraft> items;
    int current = -1;
    QList<satresults::DraftFault> found;
    QHash<QWidget*, QString> help; // each field's own tooltip, shown while it has no fault

    QLineEdit* taxpayerCnpj;
    QLineEdit* stateRegistration;
    QLineEdit* municipalRegistration;
    QComboBox* regime;
    QLineEdit* softwareHouseCnpj;
    QLineEdit* signature;
    QLineEdit* checkoutNumber;
    QComboBox* layoutVersion;
    QLineEdit* consumer;

    QTableWidget* itemTable;
    QPushButton* addItemButton;
    QPushButton* removeItemButton;
    QWidget* itemEditor;
    QLineEdit* itemCode;
    QLineEdit* itemDescription;
    QLineEdit* itemQuantity;
    QLineEdit* itemUnit;
    QLineEdit* itemUnitPrice;
    QLineEdit* itemCfop;
    QComboBox* itemIcms;
    QComboBox* itemOrigin;
    QLineEdit* itemIcmsRate;
    QLineEdit* itemIssRate;
    QComboBox* itemServiceNature;
    QComboBox* itemIncentive;
    QComboBox* itemPisCofins;
    QLineEdit* itemPisRate;
    QLineEdit* itemCofinsRate;

    QTableWidget* paymentTable;
    QPushButton* addPaymentButton;
    QPushButton* removePaymentButton;
    QLabel* amounts;
    QLabel* message;
};
