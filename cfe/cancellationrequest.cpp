#include "cancellationrequest.h"

#include "documentfaults.h"

#include <QStringList>
#include <QXmlStreamWriter>

namespace satresults {

namespace {

    bool isSale(const CfeReceipt& receipt)
    {
        return receipt.kind == CfeReceipt::Kind::Sale && isAccessKey(receipt.key);
    }

    QByteArray write(const CfeReceipt& sale)
    {
        QByteArray document;
        QXmlStreamWriter xml(&document);
        xml.setAutoFormatting(true);
        xml.setAutoFormattingIndent(2);
        xml.writeStartDocument();
        xml.writeStartElement(QStringLiteral("CFeCanc"));
        xml.writeStartElement(QStringLiteral("infCFe"));
        xml.writeAttribute(QStringLiteral("chCanc"), cancellationKey(sale));
        xml.writeStartElement(QStringLiteral("ide"));
        xml.writeTextElement(QStringLiteral("CNPJ"), sale.softwareHouseCnpj);
        xml.writeTextElement(QStringLiteral("signAC"), sale.acSignature);
        xml.writeTextElement(QStringLiteral("numeroCaixa"), sale.checkoutNumber);
        xml.writeEndElement();
        // The device copies these from the sale it cancels.
        for (const char* filled : {"emit", "dest", "total"})
            xml.writeEmptyElement(QLatin1String(filled));
        xml.writeEndDocument();
        return document;
    }

} // namespace

QString cancellationKey(const CfeReceipt& sale)
{
    return isSale(sale) ? QStringLiteral("CFe") + sale.key : QString();
}

QString cancellationFileName(const CfeReceipt& sale)
{
    return isSale(sale) ? QStringLiteral("cancelamento-CFe%1.xml").arg(sale.key) : QString();
}

CancellationRequest cancellationRequest(const CfeReceipt& sale)
{
    CancellationRequest request;
    if (sale.kind == CfeReceipt::Kind::Cancellation) {
        request.error = QStringLiteral("Este CF-e já é um cancelamento: só uma venda pode ser cancelada.");
        return request;
    }
    if (!isAccessKey(sale.key)) {
        request.error = QStringLiteral("A venda não tem a chave de acesso de 44 dígitos que o cancelamento cita.");
        return request;
    }
    const QByteArray document = write(sale);
    const DocumentCheck check = checkDocument(document);
    if (!check.faults.isEmpty()) {
        QStringList lines;
        for (const DocumentFault& fault : check.faults)
            lines << faultLine(fault);
        request.error = QStringLiteral("O cancelamento escrito com os dados desta venda seria recusado pelo SAT:\n%1")
                            .arg(lines.join(u'\n'));
        return request;
    }
    request.document = document;
    return request;
}

} // namespace satresults
