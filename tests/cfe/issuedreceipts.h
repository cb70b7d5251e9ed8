#pragma once

// Receipts issued by the real emulator through its C functions, on a device of its own in a temporary folder.

#include "dllsat.h"

#include <QByteArray>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

class IssuedReceipts {
public:
    struct Issued {
        QByteArray xml;
        QStringList fields; // the answer's fields
    };

    // A device activated in the state uf (cUF): its receipts carry it in ide/cUF and their keys.
    explicit IssuedReceipts(int uf = 35)
    {
        qputenv("SAT_EMULADOR_AGORA", "20240315103000");
        qputenv("SAT_EMULADOR_ESTADO", QFile::encodeName(m_dir.filePath(QStringLiteral("estado.txt"))));
        qunsetenv("SAT_EMULADOR_FALHA");
        m_ready = fields(AtivarSAT(++m_session, 1, kCode, "44555666000181", uf)).value(1) == u"04000"
            && fields(AssociarAssinatura(++m_session, kCode, "1122233300018144555666000181",
                                         QByteArray(344, '0').constData()))
                    .value(1)
                == u"13000";
    }

    bool ready() const { return m_ready && m_dir.isValid(); }

    // Sells an example document; xml is empty unless the device accepted it.
    Issued sell(const QString& examplePath)
    {
        QFile file(examplePath);
        return sellDocument(file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray());
    }

    Issued sellDocument(const QByteArray& document)
    {
        Issued out;
        out.fields = fields(EnviarDadosVenda(++m_session, kCode, document.constData()));
        if (out.fields.value(1) == u"06000")
            out.xml = QByteArray::fromBase64(out.fields.value(6).toLatin1());
        m_lastKey = out.fields.value(8);
        return out;
    }

    // Cancels the last sale with the cancellation document the emulator leaves ready beside its state.
    Issued cancelLast()
    {
        QFile file(m_dir.filePath(QStringLiteral("cancelamento-ultima-venda.xml")));
        const QByteArray document = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        Issued out;
        out.fields
            = fields(CancelarUltimaVenda(++m_session, kCode, m_lastKey.toLatin1().constData(), document.constData()));
        if (out.fields.value(1) == u"07000")
            out.xml = QByteArray::fromBase64(out.fields.value(6).toLatin1());
        return out;
    }

    // Cancels the last sale with a document and a key of the test's own.
    Issued cancel(const QByteArray& key, const QByteArray& document)
    {
        Issued out;
        out.fields = fields(CancelarUltimaVenda(++m_session, kCode, key.constData(), document.constData()));
        if (out.fields.value(1) == u"07000")
            out.xml = QByteArray::fromBase64(out.fields.value(6).toLatin1());
        return out;
    }

    // The folder of the device's state, where it leaves its own cancellation of the last sale.
    QString stateFolder() const { return m_dir.path(); }

    // The end-to-end test's receipt is the answer's sixth field.
    Issued endToEnd(const QString& examplePath)
    {
        QFile file(examplePath);
        const QByteArray document = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        Issued out;
        out.fields = fields(TesteFimAFim(++m_session, kCode, document.constData()));
        if (out.fields.value(1) == u"09000")
            out.xml = QByteArray::fromBase64(out.fields.value(5).toLatin1());
        return out;
    }

private:
    static constexpr const char* kCode = "codigo-teste";

    static QStringList fields(const char* answer) { return QString::fromLatin1(answer).split(u'|'); }

    QTemporaryDir m_dir;
    bool m_ready = false;
    int m_session = 100;
    QString m_lastKey;
};
