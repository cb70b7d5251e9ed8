#include "testsalewindow.h"

#include "cfeformat.h"
#include "resultfiles.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

using namespace satresults;
using Field = DraftFault::Field;

namespace {

constexpr int kMaximumItems = 500;
constexpr int kMaximumPayments = 10;
// Listing more faults than this in a box helps nobody: the form marks every one of them.
constexpr int kListedFaults = 15;

const QString kFaultStyle = QStringLiteral("background-color: #ffd9d9;");

enum ItemColumn { Number, Code, Description, Quantity, Unit, UnitPrice, Value, Tax, ItemColumns };

QString money(const QString& layoutText)
{
    return layoutText.isEmpty() ? QStringLiteral("—") : QStringLiteral("R$ ") + formatMoney(layoutText);
}

QString code(const QComboBox* box)
{
    return box->currentData().toString();
}

void select(QComboBox* box, const QString& code)
{
    const int index = box->findData(code);
    box->setCurrentIndex(index >= 0 ? index : 0);
}

bool isItemField(Field field)
{
    return field >= Field::Item && field <= Field::ItemCofinsRate;
}

QString problems(int count)
{
    return count == 1 ? QStringLiteral("1 problema") : QStringLiteral("%1 problemas").arg(count);
}

} // namespace

TestSaleWindow::TestSaleWindow(QWidget* parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("vendaDeTeste"));
    setWindowTitle(QStringLiteral("Venda de teste"));
    // Closing the main window ends the program even while this one is open.
    setAttribute(Qt::WA_QuitOnClose, false);
    build();
    items = {defaultItem(TaxRegime(code(regime).toInt()))};
    itemTable->setRowCount(1);
    updateItemRow(0);
    addPayment(QString());
    selectItem(0);
    refresh();
}

QLineEdit* TestSaleWindow::lineEdit(const char* name, const QString& tip)
{
    auto* edit = new QLineEdit(this);
    edit->setObjectName(QLatin1String(name));
    edit->setToolTip(tip);
    help.insert(edit, tip);
    return edit;
}

QComboBox* TestSaleWindow::comboBox(const char* name, const QList<Choice>& choices, const QString& tip)
{
    auto* box = new QComboBox(this);
    box->setObjectName(QLatin1String(name));
    for (const Choice& choice : choices)
        box->addItem(choice.label, choice.code);
    // Long labels must not push the fields beside them out of the form.
    box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    box->setMinimumContentsLength(12);
    box->setToolTip(tip);
    help.insert(box, tip);
    return box;
}

void TestSaleWindow::build()
{
    taxpayerCnpj = lineEdit("cnpjEmitente",
                            QStringLiteral("CNPJ do estabelecimento ativado no SAT: 14 dígitos (pontos, "
                                           "barra e traço são aceitos)"));
    stateRegistration = lineEdit("ie", QStringLiteral("Inscrição estadual do estabelecimento: de 2 a 14 dígitos"));
    municipalRegistration
        = lineEdit("im", QStringLiteral("Inscrição municipal: obrigatória quando algum item é serviço (ISSQN)"));
    regime
        = comboBox("regime", taxRegimes(),
                   QStringLiteral("Define os impostos sugeridos aos itens; o regime do cupom vem da ativação do SAT"));
    softwareHouseCnpj
        = lineEdit("cnpjSoftwareHouse", QStringLiteral("CNPJ da software house, o mesmo da associação da assinatura"));
    signature = lineEdit("assinatura",
                         QStringLiteral("Os 344 caracteres da assinatura do aplicativo comercial, a "
                                        "mesma associada ao SAT"));
    checkoutNumber = lineEdit("numeroCaixa", QStringLiteral("Número do caixa: até 3 dígitos (7 é gravado como 007)"));
    checkoutNumber->setMaximumWidth(80);
    layoutVersion = comboBox("versaoLeiaute", layoutVersions(),
                             QStringLiteral("Versão do leiaute de entrada (versaoDadosEnt) que o SAT aceita"));
    consumer = lineEdit("consumidor",
                        QStringLiteral("CPF (11 dígitos) ou CNPJ (14) do consumidor; vazio para uma "
                                       "venda sem identificação"));

    auto* shop = new QGroupBox(QStringLiteral("Contribuinte"), this);
    auto* shopForm = new QFormLayout(shop);
    shopForm->addRow(QStringLiteral("CNPJ"), taxpayerCnpj);
    shopForm->addRow(QStringLiteral("IE"), stateRegistration);
    shopForm->addRow(QStringLiteral("IM"), municipalRegistration);
    shopForm->addRow(QStringLiteral("Regime tributário"), regime);
    auto* software = new QGroupBox(QStringLiteral("Software house e caixa"), this);
    auto* softwareForm = new QFormLayout(software);
    softwareForm->addRow(QStringLiteral("CNPJ"), softwareHouseCnpj);
    softwareForm->addRow(QStringLiteral("Assinatura AC"), signature);
    softwareForm->addRow(QStringLiteral("Número do caixa"), checkoutNumber);
    softwareForm->addRow(QStringLiteral("Versão do leiaute"), layoutVersion);
    auto* buyer = new QGroupBox(QStringLiteral("Consumidor (opcional)"), this);
    auto* buyerForm = new QFormLayout(buyer);
    buyerForm->addRow(QStringLiteral("CPF ou CNPJ"), consumer);

    // The items: a list, and the fields of the one selected.
    itemTable = new QTableWidget(0, ItemColumns, this);
    itemTable->setObjectName(QStringLiteral("itens"));
    itemTable->setHorizontalHeaderLabels({QStringLiteral("Nº"), QStringLiteral("Código"), QStringLiteral("Descrição"),
                                          QStringLiteral("Qtde"), QStringLiteral("Un"), QStringLiteral("Valor unit."),
                                          QStringLiteral("Valor"), QStringLiteral("Tributação")});
    itemTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    itemTable->setSelectionMode(QAbstractItemView::SingleSelection);
    itemTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    itemTable->verticalHeader()->hide();
    itemTable->horizontalHeader()->setSectionResizeMode(Description, QHeaderView::Stretch);
    itemTable->horizontalHeader()->setSectionResizeMode(Number, QHeaderView::ResizeToContents);
    itemTable->setMinimumHeight(110);
    addItemButton = new QPushButton(QStringLiteral("Adicionar item"), this);
    addItemButton->setObjectName(QStringLiteral("adicionarItem"));
    removeItemButton = new QPushButton(QStringLiteral("Remover item"), this);
    removeItemButton->setObjectName(QStringLiteral("removerItem"));

    itemEditor = new QWidget(this);
    itemCode = lineEdit("codigo", QStringLiteral("Código do produto (cProd): até 60 caracteres"));
    itemDescription = lineEdit("descricao", QStringLiteral("Descrição (xProd): até 120 caracteres"));
    itemQuantity = lineEdit("quantidade", QStringLiteral("Quantidade: até 4 casas decimais, com vírgula ou ponto"));
    itemUnit = lineEdit("unidade", QStringLiteral("Unidade comercial: até 6 caracteres (UN, KG, H...)"));
    itemUnitPrice = lineEdit("valorUnitario", QStringLiteral("Valor unitário em reais: até 3 casas decimais"));
    itemCfop = lineEdit("cfop",
                        QStringLiteral("CFOP de saída: 4 dígitos começando por 5, 6 ou 7 (5102 venda de "
                                       "mercadoria; 5933 serviço)"));
    itemIcms = comboBox("tributacao", {},
                        QStringLiteral("Situação tributária do ICMS do item, ou serviço tributado pelo ISSQN"));
    itemOrigin = comboBox("origem", origins(), QStringLiteral("Origem da mercadoria"));
    itemIcmsRate = lineEdit("aliquotaIcms", QStringLiteral("Alíquota do ICMS em percentual, 2 casas (18,00 = 18%)"));
    itemIssRate = lineEdit("aliquotaIss", QStringLiteral("Alíquota do ISSQN em percentual, 2 casas"));
    itemServiceNature = comboBox("naturezaIss", serviceNatures(), QStringLiteral("Natureza da operação do ISSQN"));
    itemIncentive = comboBox("incentivo", incentives(), QStringLiteral("Incentivo fiscal do ISSQN"));
    itemPisCofins
        = comboBox("pisCofins", pisCofinsChoices(), QStringLiteral("Situação tributária (CST) do PIS e da COFINS"));
    itemPisRate = lineEdit("aliquotaPis", QStringLiteral("Alíquota do PIS como fração, 4 casas (0,0165 = 1,65%)"));
    itemCofinsRate
        = lineEdit("aliquotaCofins", QStringLiteral("Alíquota da COFINS como fração, 4 casas (0,0760 = 7,6%)"));
    auto* grid = new QGridLayout(itemEditor);
    grid->setContentsMargins(0, 0, 0, 0);
    const auto place = [grid](int row, int column, const QString& label, QWidget* field, int span = 1) {
        grid->addWidget(new QLabel(label), row, column);
        grid->addWidget(field, row, column + 1, 1, span);
    };
    place(0, 0, QStringLiteral("Código"), itemCode);
    place(0, 2, QStringLiteral("Descrição"), itemDescription, 5);
    place(1, 0, QStringLiteral("Quantidade"), itemQuantity);
    place(1, 2, QStringLiteral("Unidade"), itemUnit);
    place(1, 4, QStringLiteral("Valor unitário"), itemUnitPrice);
    place(1, 6, QStringLiteral("CFOP"), itemCfop);
    place(2, 0, QStringLiteral("Tributação"), itemIcms, 3);
    place(2, 4, QStringLiteral("Origem"), itemOrigin);
    place(2, 6, QStringLiteral("Alíquota ICMS (%)"), itemIcmsRate);
    place(3, 0, QStringLiteral("Natureza ISSQN"), itemServiceNature, 3);
    place(3, 4, QStringLiteral("Incentivo"), itemIncentive);
    place(3, 6, QStringLiteral("Alíquota ISSQN (%)"), itemIssRate);
    place(4, 0, QStringLiteral("PIS e COFINS"), itemPisCofins, 3);
    place(4, 4, QStringLiteral("Alíquota PIS"), itemPisRate);
    place(4, 6, QStringLiteral("Alíquota COFINS"), itemCofinsRate);
    for (int column : {1, 3, 5, 7})
        grid->setColumnStretch(column, column == 3 ? 2 : 1);

    auto* goods = new QGroupBox(QStringLiteral("Itens"), this);
    auto* goodsLayout = new QVBoxLayout(goods);
    goodsLayout->addWidget(itemTable);
    auto* itemButtons = new QHBoxLayout;
    itemButtons->addWidget(addItemButton);
    itemButtons->addWidget(removeItemButton);
    itemButtons->addStretch();
    goodsLayout->addLayout(itemButtons);
    goodsLayout->addWidget(itemEditor);

    paymentTable = new QTableWidget(0, 2, this);
    paymentTable->setObjectName(QStringLiteral("pagamentos"));
    paymentTable->setHorizontalHeaderLabels({QStringLiteral("Meio"), QStringLiteral("Valor")});
    paymentTable->verticalHeader()->hide();
    paymentTable->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    paymentTable->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Fixed);
    paymentTable->setColumnWidth(1, 180);
    paymentTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    paymentTable->setSelectionMode(QAbstractItemView::SingleSelection);
    paymentTable->setMinimumHeight(90);
    addPaymentButton = new QPushButton(QStringLiteral("Adicionar pagamento"), this);
    addPaymentButton->setObjectName(QStringLiteral("adicionarPagamento"));
    addPaymentButton->setToolTip(QStringLiteral("Um meio a mais, já com o valor que falta pagar"));
    removePaymentButton = new QPushButton(QStringLiteral("Remover pagamento"), this);
    removePaymentButton->setObjectName(QStringLiteral("removerPagamento"));
    amounts = new QLabel(this);
    amounts->setObjectName(QStringLiteral("valores"));
    amounts->setToolTip(QStringLiteral("O total da venda como o SAT o calcula (quantidade vezes valor unitário, "
                                       "arredondado no centavo, item a item) e o que os pagamentos somam"));
    auto* paid = new QGroupBox(QStringLiteral("Pagamentos"), this);
    auto* paidLayout = new QVBoxLayout(paid);
    paidLayout->addWidget(paymentTable);
    auto* paymentButtons = new QHBoxLayout;
    paymentButtons->addWidget(addPaymentButton);
    paymentButtons->addWidget(removePaymentButton);
    paymentButtons->addStretch();
    paymentButtons->addWidget(amounts);
    paidLayout->addLayout(paymentButtons);

    help.insert(amounts, amounts->toolTip());

    message = new QLabel(this);
    message->setObjectName(QStringLiteral("mensagem"));
    message->setWordWrap(true);
    message->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* saveButton = buttons->addButton(QStringLiteral("Salvar..."), QDialogButtonBox::ActionRole);
    saveButton->setObjectName(QStringLiteral("salvar"));
    saveButton->setToolTip(QStringLiteral("Grava o documento de venda num arquivo, para enviar com \"Venda\" depois"));
    QPushButton* sellButton = buttons->addButton(QStringLiteral("Venda"), QDialogButtonBox::ActionRole);
    sellButton->setObjectName(QStringLiteral("vender"));
    sellButton->setToolTip(QStringLiteral("Envia o documento ao SAT, como o botão \"Venda\" da janela principal"));
    QPushButton* closeButton = buttons->addButton(QDialogButtonBox::Close);
    closeButton->setObjectName(QStringLiteral("fechar"));
    closeButton->setText(QStringLiteral("Fechar"));

    auto* top = new QHBoxLayout;
    top->addWidget(shop);
    top->addWidget(software, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(buyer);
    layout->addWidget(goods, 1);
    layout->addWidget(paid);
    layout->addWidget(message);
    layout->addWidget(buttons);
    resize(980, 800);

    for (QLineEdit* edit : {taxpayerCnpj, stateRegistration, municipalRegistration, softwareHouseCnpj, signature,
                            checkoutNumber, consumer})
        connect(edit, &QLineEdit::textChanged, this, &TestSaleWindow::refresh);
    connect(layoutVersion, &QComboBox::currentIndexChanged, this, &TestSaleWindow::refresh);
    connect(regime, &QComboBox::currentIndexChanged, this, &TestSaleWindow::regimeChanged);
    const auto itemEdited = [this] {
        if (loading)
            return;
        storeItem();
        enableItemFields();
        refresh();
    };
    for (QLineEdit* edit : {itemCode, itemDescription, itemQuantity, itemUnit, itemUnitPrice, itemCfop, itemIcmsRate,
                            itemIssRate, itemPisRate, itemCofinsRate})
        connect(edit, &QLineEdit::textChanged, this, itemEdited);
    for (QComboBox* box : {itemOrigin, itemServiceNature, itemIncentive})
        connect(box, &QComboBox::currentIndexChanged, this, itemEdited);
    // A new taxation brings what it usually goes with, where the item still has the old one's.
    connect(itemIcms, &QComboBox::currentIndexChanged, this, [this, itemEdited] {
        if (loading)
            return;
        const bool service = code(itemIcms) == kServiceTax;
        loading = true;
        if (service && itemCfop->text().trimmed() == u"5102")
            itemCfop->setText(QStringLiteral("5933"));
        else if (!service && itemCfop->text().trimmed() == u"5933")
            itemCfop->setText(QStringLiteral("5102"));
        if (icmsHasRate(code(itemIcms)) && itemIcmsRate->text().trimmed().isEmpty())
            itemIcmsRate->setText(QStringLiteral("18,00"));
        loading = false;
        itemEdited();
    });
    connect(itemPisCofins, &QComboBox::currentIndexChanged, this, [this, itemEdited] {
        if (loading)
            return;
        loading = true;
        if (pisCofinsHasRates(code(itemPisCofins)) && itemPisRate->text().trimmed().isEmpty())
            itemPisRate->setText(QStringLiteral("0,0165"));
        if (pisCofinsHasRates(code(itemPisCofins)) && itemCofinsRate->text().trimmed().isEmpty())
            itemCofinsRate->setText(QStringLiteral("0,0760"));
        loading = false;
        itemEdited();
    });
    connect(itemTable, &QTableWidget::currentCellChanged, this, [this](int row) { selectItem(row); });
    connect(addItemButton, &QPushButton::clicked, this, &TestSaleWindow::addItem);
    connect(removeItemButton, &QPushButton::clicked, this, &TestSaleWindow::removeItem);
    connect(addPaymentButton, &QPushButton::clicked, this, [this] {
        // What is still to pay, typed as a technician would type it.
        addPayment(draftAmounts(draft()).missing.replace(u'.', u','));
        refresh();
    });
    connect(removePaymentButton, &QPushButton::clicked, this, &TestSaleWindow::removePayment);
    connect(saveButton, &QPushButton::clicked, this, &TestSaleWindow::save);
    connect(sellButton, &QPushButton::clicked, this, &TestSaleWindow::sell);
    connect(closeButton, &QPushButton::clicked, this, &QWidget::close);
}

void TestSaleWindow::offerAssociation(const QString& taxpayer, const QString& softwareHouse,
                                      const QString& signatureText)
{
    const std::pair<const char*, std::pair<QString, QLineEdit*>> offers[] = {
        {"taxpayer", {taxpayer.trimmed(), taxpayerCnpj}},
        {"softwareHouse", {softwareHouse.trimmed(), softwareHouseCnpj}},
        {"signature", {signatureText.trimmed(), signature}},
    };
    for (const auto& [key, offer] : offers) {
        const QString name = QLatin1String(key);
        if (offer.first.isEmpty() || offer.first == offered.value(name))
            continue;
        offered.insert(name, offer.first);
        offer.second->setText(offer.first);
    }
}

SaleDraft TestSaleWindow::draft() const
{
    SaleDraft d;
    d.taxpayerCnpj = taxpayerCnpj->text();
    d.stateRegistration = stateRegistration->text();
    d.municipalRegistration = municipalRegistration->text();
    d.regime = TaxRegime(code(regime).toInt());
    d.softwareHouseCnpj = softwareHouseCnpj->text();
    d.signature = signature->text();
    d.checkoutNumber = checkoutNumber->text();
    d.consumer = consumer->text();
    d.layoutVersion = code(layoutVersion);
    d.items = items;
    for (int row = 0; row < paymentTable->rowCount(); ++row) {
        const auto* method = qobject_cast<QComboBox*>(paymentTable->cellWidget(row, 0));
        const auto* amount = qobject_cast<QLineEdit*>(paymentTable->cellWidget(row, 1));
        if (method && amount)
            d.payments.append({code(method), amount->text()});
    }
    return d;
}

void TestSaleWindow::selectItem(int row)
{
    current = row >= 0 && row < items.size() ? row : -1;
    if (current >= 0 && itemTable->currentRow() != current)
        itemTable->setCurrentCell(current, 0);
    loadItem();
    refresh();
}

void TestSaleWindow::loadItem()
{
    loading = true;
    itemEditor->setEnabled(current >= 0);
    removeItemButton->setEnabled(current >= 0);
    const SaleItemDraft item = current >= 0 ? items.at(current) : SaleItemDraft();
    itemCode->setText(item.code);
    itemDescription->setText(item.description);
    itemQuantity->setText(item.quantity);
    itemUnit->setText(item.unit);
    itemUnitPrice->setText(item.unitPrice);
    itemCfop->setText(item.cfop);
    fillIcmsChoices();
    select(itemIcms, item.icms);
    select(itemOrigin, item.origin);
    itemIcmsRate->setText(item.icmsRate);
    itemIssRate->setText(item.issRate);
    select(itemServiceNature, item.serviceNature);
    select(itemIncentive, item.incentive);
    select(itemPisCofins, item.pisCofins);
    itemPisRate->setText(item.pisRate);
    itemCofinsRate->setText(item.cofinsRate);
    enableItemFields();
    loading = false;
}

void TestSaleWindow::storeItem()
{
    if (current < 0)
        return;
    SaleItemDraft& item = items[current];
    item.code = itemCode->text();
    item.description = itemDescription->text();
    item.quantity = itemQuantity->text();
    item.unit = itemUnit->text();
    item.unitPrice = itemUnitPrice->text();
    item.cfop = itemCfop->text();
    item.icms = code(itemIcms);
    item.origin = code(itemOrigin);
    item.icmsRate = itemIcmsRate->text();
    item.issRate = itemIssRate->text();
    item.serviceNature = code(itemServiceNature);
    item.incentive = code(itemIncentive);
    item.pisCofins = code(itemPisCofins);
    item.pisRate = itemPisRate->text();
    item.cofinsRate = itemCofinsRate->text();
    updateItemRow(current);
}

void TestSaleWindow::fillIcmsChoices()
{
    const bool wasLoading = loading;
    loading = true;
    itemIcms->clear();
    for (const Choice& choice : icmsChoices(TaxRegime(code(regime).toInt())))
        itemIcms->addItem(choice.label, choice.code);
    loading = wasLoading;
}

void TestSaleWindow::enableItemFields()
{
    const bool service = code(itemIcms) == kServiceTax;
    itemOrigin->setEnabled(!service);
    itemIcmsRate->setEnabled(icmsHasRate(code(itemIcms)));
    itemIssRate->setEnabled(service);
    itemServiceNature->setEnabled(service);
    itemIncentive->setEnabled(service);
    itemPisRate->setEnabled(pisCofinsHasRates(code(itemPisCofins)));
    itemCofinsRate->setEnabled(pisCofinsHasRates(code(itemPisCofins)));
}

void TestSaleWindow::updateItemRow(int row)
{
    const SaleItemDraft& item = items.at(row);
    SaleDraft alone;
    alone.items = {item};
    const DraftAmounts value = draftAmounts(alone);
    const QString texts[ItemColumns] = {
        QString::number(row + 1),
        item.code,
        item.description,
        item.quantity,
        item.unit,
        item.unitPrice,
        value.known ? formatMoney(value.total) : QString(),
        item.icms == kServiceTax ? QStringLiteral("ISSQN") : QStringLiteral("ICMS ") + item.icms,
    };
    for (int column = 0; column < ItemColumns; ++column) {
        QTableWidgetItem* cell = itemTable->item(row, column);
        if (!cell) {
            cell = new QTableWidgetItem;
            itemTable->setItem(row, column, cell);
        }
        cell->setText(texts[column]);
    }
}

void TestSaleWindow::addItem()
{
    if (items.size() >= kMaximumItems)
        return;
    items.append(defaultItem(TaxRegime(code(regime).toInt())));
    itemTable->setRowCount(int(items.size()));
    updateItemRow(int(items.size()) - 1);
    addItemButton->setEnabled(items.size() < kMaximumItems);
    selectItem(int(items.size()) - 1);
    itemCode->setFocus();
}

void TestSaleWindow::removeItem()
{
    if (current < 0)
        return;
    const int removed = current;
    items.removeAt(removed);
    current = -1; // the table's own change of row must not store into the item that took its place
    itemTable->removeRow(removed);
    for (int row = removed; row < items.size(); ++row)
        updateItemRow(row);
    addItemButton->setEnabled(true);
    selectItem(std::min(removed, int(items.size()) - 1));
}

void TestSaleWindow::addPayment(const QString& amount)
{
    if (paymentTable->rowCount() >= kMaximumPayments)
        return;
    const int row = paymentTable->rowCount();
    paymentTable->insertRow(row);
    auto* method = new QComboBox;
    for (const Choice& choice : paymentMethods())
        method->addItem(choice.label, choice.code);
    auto* value = new QLineEdit(amount);
    value->setToolTip(QStringLiteral("Valor pago com este meio, em reais: até 2 casas decimais"));
    method->setToolTip(QStringLiteral("Meio de pagamento"));
    help.insert(method, method->toolTip());
    help.insert(value, value->toolTip());
    paymentTable->setCellWidget(row, 0, method);
    paymentTable->setCellWidget(row, 1, value);
    connect(method, &QComboBox::currentIndexChanged, this, &TestSaleWindow::refresh);
    connect(value, &QLineEdit::textChanged, this, &TestSaleWindow::refresh);
    addPaymentButton->setEnabled(paymentTable->rowCount() < kMaximumPayments);
}

void TestSaleWindow::removePayment()
{
    const int row = paymentTable->currentRow() >= 0 ? paymentTable->currentRow() : paymentTable->rowCount() - 1;
    if (row < 0)
        return;
    help.remove(paymentTable->cellWidget(row, 0));
    help.remove(paymentTable->cellWidget(row, 1));
    paymentTable->removeRow(row);
    addPaymentButton->setEnabled(true);
    refresh();
}

void TestSaleWindow::regimeChanged()
{
    const TaxRegime chosen = TaxRegime(code(regime).toInt());
    for (int row = 0; row < items.size(); ++row) {
        items[row] = itemForRegime(items.at(row), chosen);
        updateItemRow(row);
    }
    loadItem();
    refresh();
}

void TestSaleWindow::mark(QWidget* field, const QString& fault)
{
    field->setStyleSheet(fault.isEmpty() ? QString() : kFaultStyle);
    field->setToolTip(fault.isEmpty() ? help.value(field) : fault);
    field->setProperty("falha", fault);
}

void TestSaleWindow::refresh()
{
    if (loading)
        return;
    const SaleDraft d = draft();
    found = checkSaleDraft(d);

    const QHash<int, QWidget*> fields {
        {int(Field::TaxpayerCnpj), taxpayerCnpj},
        {int(Field::StateRegistration), stateRegistration},
        {int(Field::MunicipalRegistration), municipalRegistration},
        {int(Field::SoftwareHouseCnpj), softwareHouseCnpj},
        {int(Field::Signature), signature},
        {int(Field::CheckoutNumber), checkoutNumber},
        {int(Field::Consumer), consumer},
        {int(Field::ItemCode), itemCode},
        {int(Field::ItemDescription), itemDescription},
        {int(Field::ItemQuantity), itemQuantity},
        {int(Field::ItemUnit), itemUnit},
        {int(Field::ItemUnitPrice), itemUnitPrice},
        {int(Field::ItemCfop), itemCfop},
        {int(Field::ItemIcms), itemIcms},
        {int(Field::ItemOrigin), itemOrigin},
        {int(Field::ItemIcmsRate), itemIcmsRate},
        {int(Field::ItemIssRate), itemIssRate},
        {int(Field::ItemServiceNature), itemServiceNature},
        {int(Field::ItemIncentive), itemIncentive},
        {int(Field::ItemPisCofins), itemPisCofins},
        {int(Field::ItemPisRate), itemPisRate},
        {int(Field::ItemCofinsRate), itemCofinsRate},
        {int(Field::Items), itemTable},
        {int(Field::Payments), amounts},
    };
    QHash<QWidget*, QString> marks;
    QHash<int, QStringList> itemFaults;
    for (const DraftFault& fault : found) {
        QWidget* field = nullptr;
        if (fault.field == Field::PaymentMethod || fault.field == Field::PaymentAmount)
            field = paymentTable->cellWidget(fault.index, fault.field == Field::PaymentMethod ? 0 : 1);
        else if (!isItemField(fault.field) || fault.index == current)
            field = fields.value(int(fault.field));
        if (field && !marks.contains(field))
            marks.insert(field, fault.text());
        if (isItemField(fault.field) && fault.index >= 0)
            itemFaults[fault.index].append(fault.text());
    }
    for (auto it = help.cbegin(); it != help.cend(); ++it)
        mark(it.key(), marks.value(it.key()));
    mark(itemTable, marks.value(itemTable));
    for (int row = 0; row < itemTable->rowCount(); ++row) {
        const QStringList faultsHere = itemFaults.value(row);
        for (int column = 0; column < ItemColumns; ++column) {
            QTableWidgetItem* cell = itemTable->item(row, column);
            if (!cell)
                continue;
            cell->setForeground(faultsHere.isEmpty() ? palette().text() : QBrush(QColor(0xa0, 0, 0)));
            cell->setToolTip(faultsHere.join(u'\n'));
        }
    }

    const DraftAmounts sums = draftAmounts(d);
    QString line = QStringLiteral("Total: %1   Pago: %2").arg(money(sums.total), money(sums.paid));
    if (!sums.change.isEmpty())
        line += QStringLiteral("   Troco: %1").arg(money(sums.change));
    else if (!sums.missing.isEmpty())
        line += QStringLiteral("   Falta: %1").arg(money(sums.missing));
    amounts->setText(line);

    message->setStyleSheet(found.isEmpty() ? QStringLiteral("color: #006000;") : QStringLiteral("color: #a00000;"));
    message->setText(found.isEmpty()
                         ? QStringLiteral("Nenhum problema encontrado: o documento passa na conferência do leiaute.")
                         : QStringLiteral("%1. %2").arg(problems(int(found.size())), found.first().text()));
}

bool TestSaleWindow::readyFor(const QString& title, const QString& refusal)
{
    refresh();
    if (found.isEmpty())
        return true;
    QStringList lines;
    for (const DraftFault& fault : found.mid(0, kListedFaults))
        lines << fault.text();
    if (found.size() > kListedFaults)
        lines << QStringLiteral("... e mais %1, marcados no formulário.").arg(found.size() - kListedFaults);
    QMessageBox::critical(
        this, title,
        QStringLiteral("%1: o documento tem %2.\n\n%3").arg(refusal, problems(int(found.size())), lines.join(u'\n')),
        QMessageBox::Ok);
    return false;
}

void TestSaleWindow::save()
{
    const QString title = QStringLiteral("Salvar venda de teste");
    if (!readyFor(title, QStringLiteral("Nada foi gravado")))
        return;
    const QString start
        = QDir(folder.isEmpty() ? QDir::currentPath() : folder).filePath(QStringLiteral("venda-teste.xml"));
    const QString path = QFileDialog::getSaveFileName(this, title, start,
                                                      QStringLiteral("Documentos XML (*.xml);;Todos os arquivos (*)"));
    if (path.isEmpty())
        return;
    folder = QFileInfo(path).absolutePath();
    QString error;
    if (!ResultFiles::write(path, composeSaleDocument(draft()), &error)) {
        QMessageBox::critical(this, title, error, QMessageBox::Ok);
        return;
    }
    message->setStyleSheet(QStringLiteral("color: #006000;"));
    message->setText(QStringLiteral("Gravado em %1.").arg(QDir::toNativeSeparators(path)));
}

void TestSaleWindow::sell()
{
    if (!readyFor(QStringLiteral("Venda de teste"), QStringLiteral("Nada foi enviado ao SAT")) || !sender)
        return;
    sender(composeSaleDocument(draft()));
}
