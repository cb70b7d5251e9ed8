/*
 * A small vendor's library with fixed answers and no CodigoErro, for what the emulator never sends: text in
 * Windows-1252 (with TEXTO_1252) or UTF-8, accents and typographic marks included, and builds of another word
 * size (compiled with -m32 as well). It answers the state query, the operational status, the log and the sale.
 */
#include <stdio.h>
#include <string.h>

#define EXPORT __attribute__((visibility("default")))

#ifdef TEXTO_1252
#define A_TIL "\xe3"
#define A_TIL_MAIUSCULO "\xc3"
#define CEDILHA "\xe7"
#define I_AGUDO "\xed"
#define U_AGUDO "\xfa"
#define TRAVESSAO "\x96"
#define ORDINAL "\xba"
#define E_CIRCUNFLEXO "\xea"
#else
#define A_TIL "\xc3\xa3"
#define A_TIL_MAIUSCULO "\xc3\x83"
#define CEDILHA "\xc3\xa7"
#define I_AGUDO "\xc3\xad"
#define U_AGUDO "\xc3\xba"
#define TRAVESSAO "\xe2\x80\x93"
#define ORDINAL "\xc2\xba"
#define E_CIRCUNFLEXO "\xc3\xaa"
#endif

static const char receipt[]
    = "<CFe><infCFe Id=\"CFe35240444555666000181599000000010000070000017\" versao=\"0.07\">"
      "<ide><nserieSAT>900000001</nserieSAT><nCFe>000007</nCFe><dEmi>20240401</dEmi><hEmi>080000</hEmi>"
      "<tpAmb>2</tpAmb><assinaturaQRCODE>c2lnbmF0dXJl</assinaturaQRCODE></ide>"
      "<emit><CNPJ>44555666000181</CNPJ><xNome>PADARIA S" A_TIL_MAIUSCULO "O JO" A_TIL_MAIUSCULO "O</xNome></emit>"
      "<dest/><det nItem=\"1\"><prod><cProd>1</cProd><xProd>P" A_TIL_MAIUSCULO "O DE QUEIJO " TRAVESSAO
      " UN</xProd><qCom>1.0000</qCom><uCom>un</uCom><vUnCom>5.00</vUnCom><vProd>5.00</vProd><vItem>5.00</vItem>"
      "</prod></det><total><vCFe>5.00</vCFe></total></infCFe></CFe>";

static const char deviceLog[] = "20240401080000|SAT|info|Opera" CEDILHA A_TIL "o conclu" I_AGUDO "da\r\n"
                                "20240401080001|SAT|info|Venda n" ORDINAL " 7 " TRAVESSAO " emitida\r\n";

static char answer[8192];

static void encodeBase64(const char* from, char* to)
{
    static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const unsigned char* in = (const unsigned char*)from;
    size_t length = strlen(from);
    while (length > 0) {
        unsigned value = in[0] << 16 | (length > 1 ? in[1] << 8 : 0) | (length > 2 ? in[2] : 0);
        *to++ = digits[value >> 18 & 63];
        *to++ = digits[value >> 12 & 63];
        *to++ = length > 1 ? digits[value >> 6 & 63] : '=';
        *to++ = length > 2 ? digits[value & 63] : '=';
        in += length > 3 ? 3 : length;
        length -= length > 3 ? 3 : length;
    }
    *to = '\0';
}

EXPORT const char* ConsultarSAT(int s)
{
    snprintf(answer, sizeof answer, "%d|08000|SAT em opera" CEDILHA A_TIL "o " TRAVESSAO " pronto||", s);
    return answer;
}

EXPORT const char* ConsultarStatusOperacional(int s, const char* code)
{
    (void)code;
    snprintf(answer, sizeof answer,
             "%d|10000|Resposta com Sucesso|0000|Comunica" CEDILHA A_TIL "o normal|900000001|DHCP|192.168.000.150|"
             "00:11:22:33:44:55|255.255.255.000|192.168.000.001|192.168.000.001|008.008.008.008|CONECTADO|ALTO|2 GB|"
             "1 MB|20240401080000|01.00.00|00.07|35240444555666000181599000000010000070000017|"
             "35240444555666000181599000000010000070000017|35240444555666000181599000000010000070000017|"
             "20240401080000|20240401080000|20240101|20290101|0",
             s);
    return answer;
}

EXPORT const char* ExtrairLogs(int s, const char* code)
{
    char encoded[1024];
    (void)code;
    encodeBase64(deviceLog, encoded);
    snprintf(answer, sizeof answer, "%d|15000|Transfer" E_CIRCUNFLEXO "ncia completa|||%s", s, encoded);
    return answer;
}

EXPORT const char* EnviarDadosVenda(int s, const char* code, const char* document)
{
    char encoded[4096];
    (void)code, (void)document;
    encodeBase64(receipt, encoded);
    snprintf(answer, sizeof answer,
             "%d|06000|0000|Emitido com sucesso " TRAVESSAO " conte" U_AGUDO "do conferido|||%s|20240401080000|"
             "CFe35240444555666000181599000000010000070000017|5.00||c2lnbmF0dXJl",
             s, encoded);
    return answer;
}
