#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

// The answer of ConsultarStatusOperacional read for a technician:
//   numeroSessao|EEEEE|mensagem|cod|mensagemSEFAZ|NSERIE|TIPO_LAN|...|ESTADO_OPERACAO
// Each of the 23 device fields becomes a labelled, formatted row; the fields that say whether the device can work
// (network, battery, memory, clock, certificate, block) are judged, and a value that cannot be read is shown raw
// and judged a problem, since nothing can be said about it.
class OperationalStatus {
public:
    static constexpr int FieldCount = 28;
    static constexpr int DeviceFieldCount = 23;
    static constexpr int FirstDeviceField = 5;
    static constexpr qint64 MaximumClockDrift = 5 * 60; // seconds
    static constexpr int CertificateWarningDays = 30;
    static constexpr double MemoryWarningShare = 0.9;

    struct Row {
        QString label;
        QString value; // formatted, or the raw text when it cannot be read
        QString raw;
        bool problem = false;
        QString reason; // why the row is a problem, in Portuguese
    };

    // now is this computer's clock at the time of the query, for the clock drift and the certificate's days left.
    static OperationalStatus parse(const QByteArray& answer, const QDateTime& now);

    // False for an empty answer, a code other than 10000 or fewer than 28 fields: then only code, message and
    // failure() are meaningful.
    bool isValid() const { return m_valid; }
    QString code() const { return m_code; }
    QString message() const { return m_message; }
    QString failure() const { return m_failure; }
    QString rawAnswer() const { return m_raw; }

    QList<Row> rows() const { return m_rows; }
    QStringList problems() const;
    QString summary() const; // "SAT em operação normal", the list of problems, or the failure
    QString serial() const { return m_serial; }
    // Share of the memory in use, 0 to 1, or negative when either figure cannot be read.
    double memoryShare() const { return m_memoryShare; }

private:
    bool m_valid = false;
    QString m_code;
    QString m_message;
    QString m_failure;
    QString m_raw;
    QString m_serial;
    QList<Row> m_rows;
    double m_memoryShare = -1;
};
