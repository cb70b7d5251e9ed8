#pragma once

// The emulator's refusals of broken sale and cancellation documents, one row per rule: each row breaks one rule of
// an otherwise valid document and gives the rejection code and the reason a device refuses it with. The test of
// the device's refusals (tst_emulatorvalidation) and the test of the full check of a document (tst_allfaults)
// both take their rows from here, so that the two hold the same rules to the same cases.
//
// Needs SAT_EXAMPLES_DIR.

#include <QtTest>

namespace validationrows {

inline QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Without the blanks between tags the rows can name the exact text they change.
inline QByteArray compact(const QByteArray& document)
{
    return QString::fromUtf8(document)
        .replace(QRegularExpression(QStringLiteral(">\\s+<")), QStringLiteral("><"))
        .toUtf8();
}

inline QByteArray example(const char* name)
{
    return compact(readFile(QStringLiteral(SAT_EXAMPLES_DIR "/") + QLatin1String(name)));
}

// "from" and "to" may hold several changes separated by "||"; each replaces the first occurrence.
inline bool applyChanges(QByteArray& document, const QByteArray& from, const QByteArray& to)
{
    const QList<QByteArray> froms = from.split('|');
    const QList<QByteArray> tos = to.split('|');
    for (qsizetype i = 0; i < froms.size(); i += 2) {
        const qsizetype at = document.indexOf(froms.at(i));
        if (froms.at(i).isEmpty() || at < 0)
            return false;
        document.replace(at, froms.at(i).size(), tos.value(i));
    }
    return true;
}

inline const QByteArray kIcms00 = "<ICMS><ICMS00><Orig>0</Orig><CST>00</CST><pICMS>18.00</pICMS></ICMS00></ICMS>";
inline const QByteArray kPisAliq = "<PIS><PISAliq><CST>01</CST><vBC>12.50</vBC><pPIS>0.0165</pPIS></PISAliq></PIS>";
inline const QByteArray kCofinsAliq
    = "<COFINS><COFINSAliq><CST>01</CST><vBC>12.50</vBC><pCOFINS>0.0760</pCOFINS></COFINSAliq></COFINS>";
inline const QByteArray kIssqn = "<ISSQN><vDeducISSQN>0.00</vDeducISSQN><vAliq>5.00</vAliq><cNatOp>01</cNatOp>"
                                 "<indIncFisc>2</indIncFisc></ISSQN>";
inline const QByteArray kPayments
    = "<pgto><MP><cMP>01</cMP><vMP>10.00</vMP></MP><MP><cMP>03</cMP><vMP>10.00</vMP></MP></pgto>";

// Rows of broken sales, made from venda-dois-itens.xml by brokenSale(). Columns: from, to, code, message (ending in
// "*": the start of the message).
inline void addSaleRows()
{
    QTest::addColumn<QByteArray>("from");
    QTest::addColumn<QByteArray>("to");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("message"); // ending in "*": the start of the message

    auto row
        = [](const char* name, const QByteArray& from, const QByteArray& to, const char* code, const QString& message) {
              QTest::newRow(name) << from << to << QString::fromLatin1(code) << QStringLiteral("Rejeicao: ") + message;
          };
    const QByteArray version = "versaoDadosEnt=\"0.07\"";
    const QString item = QStringLiteral("infCFe/det[1]/prod/");
    const QString tax = QStringLiteral("infCFe/det[1]/imposto/");
    const QString device = QStringLiteral(" e preenchido pelo SAT e nao deve ser enviado");

    row("version 9.99", version, "versaoDadosEnt=\"9.99\"", "1007",
        "infCFe/@versaoDadosEnt 9.99 nao suportada (aceitas de 0.06 a 0.08)");
    row("version 0.05", version, "versaoDadosEnt=\"0.05\"", "1007",
        "infCFe/@versaoDadosEnt 0.05 nao suportada (aceitas de 0.06 a 0.08)");
    row("version missing", " " + version, "", "1001", "infCFe/@versaoDadosEnt ausente");
    row("Id sent", version, version + " Id=\"CFe1\"", "1004", "infCFe/@Id" + device);
    row("pgto before total", "<total>", "<pgto><MP><cMP>01</cMP><vMP>20.00</vMP></MP></pgto><total>", "1002",
        "infCFe/total fora da ordem do leiaute (deve vir antes de pgto)");
    row("two infCFe", "</infCFe>", "</infCFe><infCFe " + version + "/>", "1005",
        "infCFe repetido: o leiaute aceita um unico infCFe");
    row("Signature sent", "</infCFe>", "</infCFe><Signature/>", "1004", "Signature" + device);
    row("other root", "<CFe>||</CFe>", "<NFe>||</NFe>", "1003", "elemento raiz NFe nao previsto (deve ser CFe)");
    row("malformed XML", "</CFe>", "</CF>", "1006", "XML mal formado*");
    row("empty document", "*", "", "1006", "documento vazio");
    row("ide/cUF sent", "<ide>", "<ide><cUF>35</cUF>", "1014", "infCFe/ide/cUF" + device);
    row("ide/assinaturaQRCODE sent", "<numeroCaixa>", "<assinaturaQRCODE>x</assinaturaQRCODE><numeroCaixa>", "1014",
        "infCFe/ide/assinaturaQRCODE" + device);
    row("numeroCaixa missing", "<numeroCaixa>001</numeroCaixa>", "", "1011", "infCFe/ide/numeroCaixa ausente");
    row("numeroCaixa of 2 digits", "<numeroCaixa>001", "<numeroCaixa>01", "1016",
        "infCFe/ide/numeroCaixa deve ter 3 digitos");
    row("emit/xNome sent", "<IE>", "<xNome>Loja</xNome><IE>", "1024", "infCFe/emit/xNome" + device);
    row("emit/enderEmit sent", "<IE>", "<enderEmit><xLgr>Rua</xLgr></enderEmit><IE>", "1024",
        "infCFe/emit/enderEmit" + device);
    row("emit/cRegTrib sent", "<cRegTribISSQN>", "<cRegTrib>3</cRegTrib><cRegTribISSQN>", "1024",
        "infCFe/emit/cRegTrib" + device);
    row("emit/IE missing", "<IE>111111111111</IE>", "", "1021", "infCFe/emit/IE ausente");
    row("emit/IE after IM", "<IE>111111111111</IE><IM>123123</IM>", "<IM>123123</IM><IE>111111111111</IE>", "1022",
        "infCFe/emit/IE fora da ordem do leiaute (deve vir antes de IM)");
    row("indRatISSQN domain", "<indRatISSQN>N", "<indRatISSQN>X", "1027",
        "infCFe/emit/indRatISSQN valor fora do dominio (S ou N)");
    row("dest missing", "<dest><CPF>12345678909</CPF></dest>", "", "1001", "infCFe/dest ausente");
    row("CPF check digit", "<CPF>12345678909", "<CPF>12345678900", "1037",
        "infCFe/dest/CPF com digito verificador invalido");
    row("CPF of one repeated digit", "<CPF>12345678909", "<CPF>11111111111", "1037",
        "infCFe/dest/CPF com digito verificador invalido");
    row("CPF of 10 digits", "<CPF>12345678909", "<CPF>1234567890", "1036", "infCFe/dest/CPF deve ter 11 digitos");
    row("CNPJ check digit", "<CPF>12345678909</CPF>", "<CNPJ>44555666000182</CNPJ>", "1037",
        "infCFe/dest/CNPJ com digito verificador invalido");
    row("CNPJ and CPF", "<CPF>", "<CNPJ>44555666000181</CNPJ><CPF>", "1035",
        "infCFe/dest/CPF repetido: o leiaute aceita um unico (CNPJ ou CPF)");
    row("text in a group", "<dest>", "<dest>x", "1036", "infCFe/dest e um grupo e nao pode conter texto");
    row("entrega UF", "</dest>",
        "</dest><entrega><xLgr>Rua A</xLgr><nro>1</nro><xBairro>Centro</xBairro><xMun>Santos</xMun><UF>XX</UF>"
        "</entrega>",
        "1047", "infCFe/entrega/UF valor fora do dominio*");
    row("nItem missing", "<det nItem=\"2\">", "<det>", "1051", "infCFe/det[2]/@nItem ausente");
    row("nItem repeated", "<det nItem=\"2\">", "<det nItem=\"1\">", "1055", "infCFe/det[2]/@nItem 1 repetido");
    row("CFOP missing", "<CFOP>5102</CFOP>", "", "1051", item + "CFOP ausente");
    row("CFOP of an entry", "<CFOP>5102", "<CFOP>1102", "1057",
        item + "CFOP deve comecar por 5, 6 ou 7 (operacao de saida)");
    row("CFOP of 3 digits", "<CFOP>5102", "<CFOP>510", "1056", item + "CFOP deve ter 4 digitos");
    row("uCom missing", "<uCom>un</uCom>", "", "1051", item + "uCom ausente");
    row("uCom too long", "<uCom>un<", "<uCom>unidade<", "1056", item + "uCom deve ter de 1 a 6 caracteres");
    row("uCom of 7 accented letters", "<uCom>un<", "<uCom>" + QString(7, QChar(0xe3)).toUtf8() + "<", "1056",
        item + "uCom deve ter de 1 a 6 caracteres");
    row("field holding elements", "<uCom>un<", "<uCom><b/><", "1056",
        item + "uCom e um campo e nao pode conter elementos");
    row("qCom with 3 decimals", "<qCom>3.0000", "<qCom>3.000", "1056",
        item + "qCom deve ser numero com ate 11 digitos inteiros, ponto e 4 casas decimais");
    row("qCom zero", "<qCom>3.0000", "<qCom>0.0000", "1057", item + "qCom deve ser maior que zero");
    row("vUnCom with 4 decimals", "<vUnCom>4.50", "<vUnCom>4.5000", "1056",
        item + "vUnCom deve ser numero com ate 9 digitos inteiros, ponto e 2 a 3 casas decimais");
    row("vProd sent", "<indRegra>", "<vProd>13.50</vProd><indRegra>", "1054", item + "vProd" + device);
    row("vItem sent", "<vDesc>1.00</vDesc>", "<vDesc>1.00</vDesc><vItem>12.50</vItem>", "1054",
        item + "vItem" + device);
    row("unknown field", "<vDesc>1.00</vDesc>", "<vDesc>1.00</vDesc><vFrete>1.00</vFrete>", "1053",
        item + "vFrete nao previsto no leiaute");
    row("indRegra domain", "<indRegra>A", "<indRegra>B", "1057", item + "indRegra valor fora do dominio (A ou T)");
    row("obsFiscoDet without xCampoDet", "<vDesc>1.00</vDesc>",
        "<vDesc>1.00</vDesc><obsFiscoDet><xTextoDet>x</xTextoDet></obsFiscoDet>", "1056",
        item + "obsFiscoDet/@xCampoDet deve ter de 1 a 20 caracteres");
    row("discount above the product", "<vDesc>1.00", "<vDesc>14.00", "1058",
        item + "vDesc maior que o valor do produto");
    row("no ICMS group", kIcms00, "", "1061", tax + "ICMS ausente (o item deve ter o grupo ICMS ou o ISSQN)");
    row("empty ICMS", kIcms00, "<ICMS></ICMS>", "1061", tax + "ICMS/(ICMS00, ICMS40, ICMSSN102 ou ICMSSN900) ausente");
    row("two ICMS groups", "</ICMS00>", "</ICMS00><ICMS40><Orig>0</Orig><CST>40</CST></ICMS40>", "1065",
        tax + "ICMS/ICMS40 repetido: o leiaute aceita um unico (ICMS00, ICMS40, ICMSSN102 ou ICMSSN900)");
    row("ICMS00 with CST 40", "<CST>00", "<CST>40", "1067",
        tax + "ICMS/ICMS00/CST valor fora do dominio (00, 20 ou 90)");
    row("Orig domain", "<Orig>0", "<Orig>9", "1067",
        tax + "ICMS/ICMS00/Orig valor fora do dominio (0, 1, 2, 3, 4, 5, 6, 7 ou 8)");
    row("pICMS missing", "<pICMS>18.00</pICMS>", "", "1061", tax + "ICMS/ICMS00/pICMS ausente");
    row("vICMS sent", "</pICMS>", "</pICMS><vICMS>2.25</vICMS>", "1064", tax + "ICMS/ICMS00/vICMS" + device);
    row("ICMS and ISSQN", "</COFINS>", "</COFINS>" + kIssqn, "1068",
        "infCFe/det[1]/imposto com ICMS e ISSQN: o item tem um ou outro");
    row("ISSQN without IM", "<IM>123123</IM>||" + kIcms00 + "||</COFINS>", "||||</COFINS>" + kIssqn, "1098",
        tax + "ISSQN exige a inscricao municipal do emitente (emit/IM)");
    row("ISSQN vBC sent", "<IM>123123</IM>||" + kIcms00 + "||</COFINS>",
        "<IM>123123</IM>||||</COFINS>" + QByteArray(kIssqn).replace("<vAliq>", "<vBC>12.50</vBC><vAliq>"), "1094",
        tax + "ISSQN/vBC" + device);
    row("PIS missing", kPisAliq, "", "1061", tax + "PIS ausente");
    row("COFINS before PIS", kPisAliq + kCofinsAliq, kCofinsAliq + kPisAliq, "1062",
        tax + "PIS fora da ordem do leiaute (deve vir antes de COFINS)");
    row("PISAliq with CST 49", "<PISAliq><CST>01", "<PISAliq><CST>49", "1077",
        tax + "PIS/PISAliq/CST valor fora do dominio (01, 02 ou 05)");
    row("PISOutr without its rate", kPisAliq, "<PIS><PISOutr><CST>99</CST><vBC>12.50</vBC></PISOutr></PIS>", "1078",
        tax + "PIS/PISOutr deve ter vBC e pPIS, ou qBCProd e vAliqProd (um dos pares, completo)");
    row("PISST with both bases", "</PIS>",
        "</PIS><PISST><vBC>1.00</vBC><pPIS>0.0100</pPIS><qBCProd>1.0000</qBCProd><vAliqProd>0.1000</vAliqProd>"
        "</PISST>",
        "1078", tax + "PISST deve ter vBC e pPIS, ou qBCProd e vAliqProd (um dos pares, completo)");
    row("vPIS sent", "</pPIS>", "</pPIS><vPIS>0.21</vPIS>", "1074", tax + "PIS/PISAliq/vPIS" + device);
    row("pCOFINS with 2 decimals", "<pCOFINS>0.0760", "<pCOFINS>7.60", "1086",
        tax + "COFINS/COFINSAliq/pCOFINS deve ser numero com ate 1 digito inteiro, ponto e 4 casas decimais");
    row("vCFe sent", "<total>", "<total><vCFe>17.50</vCFe>", "1104", "infCFe/total/vCFe" + device);
    row("ICMSTot sent", "<total>", "<total><ICMSTot><vICMS>1.00</vICMS></ICMSTot>", "1104",
        "infCFe/total/ICMSTot" + device);
    row("subtotal discount and increase", "</vDescSubtot>", "</vDescSubtot><vAcresSubtot>0.10</vAcresSubtot>", "1105",
        "infCFe/total/DescAcrEntr/vAcresSubtot repetido: o leiaute aceita um unico (vDescSubtot ou vAcresSubtot)");
    row("subtotal discount above the items", "<vDescSubtot>0.50", "<vDescSubtot>18.50", "1108",
        "infCFe/total/DescAcrEntr/vDescSubtot maior que o total dos itens");
    row("pgto missing", kPayments, "", "1001", "infCFe/pgto ausente");
    row("payment code 06", "<cMP>01", "<cMP>06", "1117",
        "infCFe/pgto/MP[1]/cMP valor fora do dominio (01, 02, 03, 04, 05, 10, 11, 12, 13 ou 99)");
    row("vMP without decimals", "<vMP>10.00", "<vMP>10", "1116",
        "infCFe/pgto/MP[1]/vMP deve ser numero com ate 13 digitos inteiros, ponto e 2 casas decimais");
    row("eleven payments", "</MP></pgto>",
        "</MP>" + QByteArray("<MP><cMP>01</cMP><vMP>1.00</vMP></MP>").repeated(9) + "</pgto>", "1115",
        "infCFe/pgto/MP repetido: o leiaute aceita no maximo 10 MP");
    row("vTroco sent", "</pgto>", "<vTroco>2.50</vTroco></pgto>", "1114", "infCFe/pgto/vTroco" + device);
    row("payment below the total", "<vMP>10.00", "<vMP>7.00", "1118",
        "infCFe/pgto: valor pago (17.00) menor que o total do cupom (17.50)");
    row("infAdic/obsFisco sent", "</pgto>",
        "</pgto><infAdic><obsFisco xCampo=\"a\"><xTexto>b</xTexto></obsFisco></infAdic>", "1124",
        "infCFe/infAdic/obsFisco" + device);
}

// The sale document a row of addSaleRows() describes; false when the row does not apply to it.
inline bool brokenSale(const QByteArray& from, const QByteArray& to, QByteArray& document)
{
    document = example("venda-dois-itens.xml");
    if (document.isEmpty())
        return false;
    if (from == "*") {
        document.clear();
        return true;
    }
    return applyChanges(document, from, to);
}

// Rows of broken cancellations, made by brokenCancellation() from the cancellation the emulator writes beside its
// state for the last sale. Columns: from, to, code, message (as for sales), deviceState.
inline void addCancellationRows()
{
    QTest::addColumn<QByteArray>("from"); // in the document the emulator wrote for the sale
    QTest::addColumn<QByteArray>("to");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("deviceState"); // the refusal compares the document with what the device holds
    auto row = [](const char* name, const QByteArray& from, const QByteArray& to, const char* code,
                  const QString& message, bool deviceState = false) {
        QTest::newRow(name) << from << to << QString::fromLatin1(code) << QStringLiteral("Rejeicao: ") + message
                            << deviceState;
    };
    const QString device = QStringLiteral(" e preenchido pelo SAT e nao deve ser enviado");
    row("chCanc missing", "<infCFe chCanc=", "<infCFe x=", "1133", "infCFe/@x nao previsto no leiaute");
    row("chCanc attribute removed", "<infCFe chCanc=\"KEY\">", "<infCFe>", "1131", "infCFe/@chCanc ausente");
    row("chCanc without prefix", "chCanc=\"CFe", "chCanc=\"", "1136",
        "infCFe/@chCanc deve ser CFe seguido dos 44 digitos da chave");
    row("Id sent", "<infCFe ", "<infCFe Id=\"CFe1\" ", "1134", "infCFe/@Id" + device);
    row("ide/dEmi sent", "<ide>", "<ide><dEmi>20240315</dEmi>", "1144", "infCFe/ide/dEmi" + device);
    row("ide/numeroCaixa missing", "<numeroCaixa>115</numeroCaixa>", "", "1141", "infCFe/ide/numeroCaixa ausente");
    row("unknown field in ide", "<numeroCaixa>", "<xNome>x</xNome><numeroCaixa>", "1143",
        "infCFe/ide/xNome nao previsto no leiaute");
    row("emit/CNPJ sent", "<emit />", "<emit><CNPJ>44555666000181</CNPJ></emit>", "1154", "infCFe/emit/CNPJ" + device);
    row("dest/CPF sent", "<dest />", "<dest><CPF>12345678909</CPF></dest>", "1154", "infCFe/dest/CPF" + device);
    row("total/vCFe sent", "<total />", "<total><vCFe>2.10</vCFe></total>", "1154", "infCFe/total/vCFe" + device);
    row("total missing", "<total />", "", "1131", "infCFe/total ausente");
    row("dest before emit", "<emit /><dest />", "<dest /><emit />", "1132",
        "infCFe/emit fora da ordem do leiaute (deve vir antes de dest)");
    row("other root", "<CFeCanc>||</CFeCanc>", "<CFe>||</CFe>", "1133",
        "elemento raiz CFe nao previsto (deve ser CFeCanc)");
    row("malformed", "</CFeCanc>", "</CFeCan>", "1136", "XML mal formado*");
    row("chCanc of another sale", "chCanc=\"CFe3", "chCanc=\"CFe4", "1138",
        "infCFe/@chCanc difere da chave informada no argumento", true);
    row("other signature", "<signAC>0", "<signAC>1", "1148", "infCFe/ide/CNPJ ou signAC difere da vinculacao do AC",
        true);
}

// The cancellation document a row of addCancellationRows() describes, from the one the emulator wrote for the sale
// whose key ("CFe" and 44 digits) is given; false when the row does not apply to it.
inline bool brokenCancellation(const QByteArray& written, const QByteArray& key, const QByteArray& from,
                               const QByteArray& to, QByteArray& document)
{
    document = compact(written);
    return document.contains("chCanc=\"" + key + "\"")
        && applyChanges(document, QByteArray(from).replace("KEY", key), to);
}

} // namespace validationrows
